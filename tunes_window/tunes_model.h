#pragma once

#include "link/serial/serial_port_service.h"
#include "tunes/exchange/backup.h"
#include "tunes/exchange/connection_check.h"
#include "tunes/exchange/tune_reading.h"
#include "tunes/exchange/verified_write.h"
#include "tunes/restore_points/restore_points.h"
#include "tunes_window/setting_rows.h"
#include "window/dccd.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

namespace tuner {

// An entry of the Tunes list: a restore point, a tune file opened in this run, or a file of the
// restore points' folder that could not be read.
struct TuneEntry {
    enum class Kind { RestorePoint, File, Unreadable };
    Kind kind = Kind::File;
    QString text; // as the list shows it, one line
    QString hint; // what resting the pointer on it tells
    std::optional<TuneFile> file;
    QString name;        // a restore point's name, a file's path
    QString cannotWrite; // why it cannot be written ("" when it can)
    QString note;        // for Save as…: what the file notes
};

// What the window is doing: while it is busy, the controls that would start another exchange
// are disabled and the busy indicator shows.
enum class TunesTask { None, Reading, BackingUp, Checking, Writing };

// The parts of the window a change concerns: the adapter mirrors only those.
enum class TunesPart { Port, Tunes, Settings, Status, Task, Report };

// The question Write to controller asks before it sends: every change, the restore point just
// kept, and, for a restore point written back, what it undoes.
struct WriteQuestion {
    QString heading;
    QStringList changes;
    QStringList about;
};

// The DCCD Tunes window without a display: its state and its handlers. Each handler works on
// the state and tells what changed by Changed; an adapter shows the state and forwards the
// user's acts. Exchanges with the controller run without blocking, one at a time.
class TunesModel : public QObject {
    Q_OBJECT

public:
    TunesModel(SerialPortService &port, PortDirectory ports, QObject *parent = nullptr);
    ~TunesModel() override;

    // The port box: what is typed, and the ports that exist.
    const QString &PortText() const { return m_portText; }
    const QStringList &PortItems() const { return m_portItems; }
    const QList<TuneEntry> &Tunes() const { return m_tunes; }
    int Selected() const { return m_selected; }
    const QList<SettingRow> &Rows() const { return m_rows; }
    // "Controller\nread 15:04:12": the Controller column's heading.
    QString ControllerHeading() const;
    const QString &Status() const { return m_status; }
    TunesTask Task() const { return m_task; }
    // The last connection check's report, headed by the program and the system, for a
    // support request; "" before the first.
    const QString &Report() const { return m_report; }
    // The restore points' folder is being read: the Tunes list follows when it has been.
    bool ReadingFolder() const { return m_folderBeingRead; }
    // Whether the action can start now.
    bool CanExchange() const;
    bool CanWrite() const;
    bool CanSave() const;

    // Fills the port box and starts reading the restore points.
    void Load(const std::optional<qint16> &chosenPort);
    void SetPortText(const QString &text);
    // The port list is about to open: filled again from the system.
    void PortDropDown();
    void ReadController();
    void BackUp();
    // What the system knows of the port, whether it opens and what comes back: Report.
    void CheckConnection();
    // The window put the report on the clipboard.
    void ReportCopied();
    void SelectTune(int index);
    void SetRowChecked(int row, bool checked);
    void WriteToController();
    // The answer to the question WriteQuestionAsked put.
    void AnswerWrite(bool write);
    void OpenTuneFile(const QString &path);
    // Saves the selected tune, or the controller's as read, to a file, with a note.
    void SaveAs(const QString &path, const QString &note);
    // The restore points' folder may have changed: read again when it did.
    void FollowFolder();
    // The user closes the window: true when it may close now. During a write it may not; the
    // write goes on to its end and CloseNow follows.
    bool CloseRequested();

Q_SIGNALS:
    void Changed(tuner::TunesPart part);
    void WriteQuestionAsked(const tuner::WriteQuestion &question);
    void CloseNow();

private:
    std::optional<qint16> TypedPort();
    void Begin(TunesTask task, const QString &status);
    void Finish(const QString &status);
    void SetStatus(const QString &status);
    void ReadDone(const TuneReadOutcome &outcome);
    void BackedUp(const BackupOutcome &outcome);
    void AskBeforeSending(const WriteOutcome &sofar);
    void Written(const WriteOutcome &outcome);
    void ReadFolder();
    void WatchFolder();
    void ShowShelf(const RestorePointShelf &shelf);
    void UpdateRows();
    std::optional<TuningParameters> SelectedTune() const;

    SerialPortService &m_port;
    PortDirectory m_ports;
    QString m_portText;
    QStringList m_portItems;
    QList<TuneEntry> m_tunes;
    QList<TuneEntry> m_openedFiles;
    int m_selected = -1;
    QString m_selectedName; // kept across a reading of the folder
    QList<SettingRow> m_rows;
    std::optional<TuneFile> m_controller;
    QDateTime m_controllerReadAt;
    QString m_status;
    TunesTask m_task = TunesTask::None;
    QString m_report;
    QString m_writtenBackName;
    QPointer<TuneReading> m_reading;
    QPointer<VerifiedWrite> m_write;
    QDateTime m_folderSeen;
    QFileSystemWatcher m_watcher;
    QTimer m_poll; // where the system cannot watch the folder
    bool m_folderBeingRead = false;
    bool m_readAgain = false;
    bool m_closeWhenDone = false;
};

} // namespace tuner
