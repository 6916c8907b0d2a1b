// The floor the console is measured against: a bare Qt dialog of the console's pixel size with
// the same sixteen kinds of items in the same places, and nothing behind them. Its Read Weight
// button writes what a read writes in the console: weight, gauge, capacity line and result box.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace bench {

class FloorDialog : public QDialog
{
public:
    FloorDialog();

    QPushButton* ReadButton() const { return m_read; }
    QPushButton* ExitButton() const { return m_exit; }
    QLabel* WeightLabel() const { return m_weight; }
    long Reads() const { return m_reads; }

private:
    void BuildItems();
    void ShowNextReading();

    QPushButton* m_read = nullptr;
    QPushButton* m_exit = nullptr;
    QLabel* m_weight = nullptr;
    QLabel* m_gauge = nullptr;
    QLabel* m_capacity = nullptr;
    QLabel* m_resultHex = nullptr;
    QLabel* m_resultName = nullptr;
    long m_reads = 0;
};

}
