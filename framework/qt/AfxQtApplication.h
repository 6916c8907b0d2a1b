// Framework-internal: Qt's application object as every process of ours creates it.
#pragma once

#include <QApplication>

// Qt sets the C library's locale from the environment when it starts, and with it the decimal
// separator that printf-style formatting and number parsing use. The program's numbers (weights,
// capacities, result codes) are always written in the C convention, whatever the desktop's
// language; the rest of the user's locale (character set, input methods) stays as Qt set it.
class AfxQtApplication : public QApplication
{
public:
    AfxQtApplication(int& argc, char** argv);
};
