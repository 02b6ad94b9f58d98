#pragma once

#include "tunes_window/tunes_model.h"

#include <QMainWindow>

class QComboBox;
class QDialog;
class QPlainTextEdit;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tuner {

// The DCCD Tunes window on screen: an ordinary, resizable desktop window in the system's own
// font and colours. It only mirrors the model and forwards what the user does; every question it
// asks (the write's confirmation, a file name) is asked without a loop of its own.
class TunesWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit TunesWindow(TunesModel &model, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *PortRow();
    QWidget *TunesBox();
    QWidget *SettingsBox();
    QPushButton *Button(const QString &text, void (TunesWindow::*clicked)());
    void Mirror(TunesPart part);
    void MirrorPort();
    void MirrorTunes();
    void MirrorSettings();
    void MirrorTask();
    void Ask(const WriteQuestion &question);
    void ShowReport();
    void Read();
    void BackUp();
    void Check();
    void Write();
    void Open();
    void SaveAs();

    TunesModel &m_model;
    QComboBox *m_port = nullptr;
    QList<QPushButton *> m_exchangeButtons;
    QPushButton *m_write = nullptr;
    QPushButton *m_saveAs = nullptr;
    QListWidget *m_tunes = nullptr;
    QTableWidget *m_settings = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_busy = nullptr;
    QDialog *m_report = nullptr;
    QPlainTextEdit *m_reportText = nullptr;
    bool m_mirroring = false; // a change the window makes itself is not sent back
};

} // namespace tuner
