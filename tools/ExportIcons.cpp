// Writes the application icon as PNG files for the desktop's icon theme, at the sizes given.
// The 16 and 32 pixel images are the icon's own; other sizes are scaled from the nearest one.
#include "res/TaraboIcon.h"

#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cstdio>

namespace {
QImage imageFor(int size)
{
    const ICONIMAGE& source = (size <= 16) ? g_taraboIconImages[1] : g_taraboIconImages[0];
    QImage image(source.xpm.data());
    return image.scaled(size, size, Qt::KeepAspectRatio, Qt::FastTransformation);
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTDIR SIZE...\n", argv[0]);
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        const QString path = QStringLiteral("%1/tarabo-%2.png").arg(outDir).arg(size);
        if (size <= 0 || !imageFor(size).save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
