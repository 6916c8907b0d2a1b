#include "AfxReports.h"

#include "AfxConvert.h"
#include "AfxDialogImpl.h"
#include "AfxTesting.h"
#include "WinApp.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
struct OpenBox
{
    QPointer<QMessageBox> box;
    bool failure;
};

std::vector<OpenBox>& openBoxes()
{
    static std::vector<OpenBox> s_boxes;
    auto gone = [](const OpenBox& b) { return !b.box || !b.box->isVisible(); };
    s_boxes.erase(std::remove_if(s_boxes.begin(), s_boxes.end(), gone), s_boxes.end());
    return s_boxes;
}

CString& lastText()
{
    static CString s_text;
    return s_text;
}

QString boxTitle()
{
    CWinApp* app = AfxGetApp();
    return app ? AfxToQString(app->m_strAppName) : QCoreApplication::applicationName();
}

bool haveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }
}

BOOL AfxFailureReportOpen()
{
    const auto& boxes = openBoxes();
    return std::any_of(boxes.begin(), boxes.end(), [](const OpenBox& b) { return b.failure; }) ? TRUE : FALSE;
}

void AfxReportFailure(const CString& text)
{
    if (AfxFailureReportOpen())
        return;
    lastText() = text;
    if (!haveWidgets()) {
        std::fprintf(stderr, "%s\n", static_cast<LPCTSTR>(text));
        return;
    }
    // Over the dialog in use, so it shows where the technician is looking.
    CDialog* owner = AfxDialogImpl::current();
    auto* box = new QMessageBox(QMessageBox::Warning, boxTitle(), AfxToQString(text), QMessageBox::Ok,
                                owner ? owner->GetSafeWidget() : nullptr);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    openBoxes().push_back({box, true});
    box->show();
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType)
{
    if (AfxFailureReportOpen() || !haveWidgets())
        return IDOK;
    lastText() = CString(lpszText);
    const auto icon = (nType & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::Information;
    CDialog* owner = AfxDialogImpl::current();
    QMessageBox box(icon, boxTitle(), AfxToQString(lpszText), QMessageBox::Ok, owner ? owner->GetSafeWidget() : nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    openBoxes().push_back({&box, false});
    box.exec();
    return IDOK;
}

int AfxOpenReportCount() { return int(openBoxes().size()); }

CString AfxLastReportText() { return lastText(); }

void AfxDismissReports()
{
    const std::vector<OpenBox> boxes = openBoxes();
    for (const OpenBox& b : boxes)
        if (b.box)
            b.box->done(QMessageBox::Ok);
}
