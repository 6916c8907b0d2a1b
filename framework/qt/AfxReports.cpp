// Report boxes as Qt message boxes; the rule of which to show is private/AfxReports.h's.
#include "framework/private/AfxReports.h"

#include "framework/AfxTesting.h"
#include "framework/private/AfxModal.h"
#include "framework/qt/AfxConvert.h"
#include "framework/WinApp.h"

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

void AfxShowFailureReport(const CString& text)
{
    AfxNoteReportText(text);
    if (!haveWidgets()) {
        std::fprintf(stderr, "%s\n", static_cast<LPCTSTR>(text));
        return;
    }
    // Over the dialog in use, so it shows where the technician is looking.
    CDialog* owner = AfxModalRun::current();
    auto* box = new QMessageBox(QMessageBox::Warning, boxTitle(), AfxToQString(text), QMessageBox::Ok,
                                owner ? owner->GetSafeWidget() : nullptr);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    openBoxes().push_back({box, true});
    box->show();
}

void AfxShowMessageBox(const CString& text, UINT nType)
{
    if (!haveWidgets())
        return;
    AfxNoteReportText(text);
    const auto icon = (nType & MB_ICONEXCLAMATION) == MB_ICONEXCLAMATION ? QMessageBox::Warning : QMessageBox::Information;
    CDialog* owner = AfxModalRun::current();
    QMessageBox box(icon, boxTitle(), AfxToQString(text), QMessageBox::Ok, owner ? owner->GetSafeWidget() : nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    openBoxes().push_back({&box, false});
    box.exec();
}

int AfxOpenReportCount() { return int(openBoxes().size()); }

void AfxDismissReports()
{
    const std::vector<OpenBox> boxes = openBoxes();
    for (const OpenBox& b : boxes)
        if (b.box)
            b.box->done(QMessageBox::Ok);
}
