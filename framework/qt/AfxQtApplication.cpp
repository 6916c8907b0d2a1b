#include "framework/qt/AfxQtApplication.h"

#include <clocale>

AfxQtApplication::AfxQtApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    std::setlocale(LC_NUMERIC, "C");
}
