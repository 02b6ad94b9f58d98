#include "tunes_window/tunes_model.h"

#include "link/exchange/port_messages.h"
#include "link/ports/port_number.h"
#include "link/serial/failure_reasons.h"
#include "link/settings/number_text.h"
#include "link/text/shown_text.h"
#include "tunes/files/tune_file_io.h"

#include "dccd_version.h"

#include <QDir>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

#include <utility>

namespace tuner {
namespace {

// "2026-12-07 16:04:12": when a restore point was taken, in the user's own time.
QString LocalTaken(const RestorePoint &point) {
    const QDateTime taken = QDateTime::fromString(point.file.readAt, Qt::ISODate);
    return taken.isValid() ? taken.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                           : EscapedText(point.file.readAt);
}

TuneEntry EntryOf(const RestorePoint &point) {
    TuneEntry entry{TuneEntry::Kind::RestorePoint, {}, {}, point.file, point.name, {}, {}};
    entry.text = QStringLiteral("%1  %2  port %3")
                     .arg(EscapedText(point.name).section(u'-', 0, 0), LocalTaken(point))
                     .arg(point.file.port);
    if (!point.file.note.isEmpty())
        entry.text += QStringLiteral("  ") + EscapedText(point.file.note);
    if (!point.outOfRange.isEmpty()) {
        entry.cannotWrite = QStringLiteral("the restore point %1 holds %2; the controller takes "
                                           "no such value, so it cannot be written back")
                                .arg(EscapedText(point.name), point.outOfRange);
        entry.text += QStringLiteral("  (cannot be written: %1)").arg(point.outOfRange);
    }
    entry.hint = QStringLiteral("Restore point %1, taken %2 from port %3")
                     .arg(EscapedText(point.name), TakenText(point))
                     .arg(point.file.port);
    entry.note = point.file.note;
    return entry;
}

TuneEntry UnreadableEntry(const SkippedEntry &skipped) {
    TuneEntry entry;
    entry.kind = TuneEntry::Kind::Unreadable;
    entry.name = skipped.name;
    entry.text = QStringLiteral("%1: cannot be read").arg(EscapedText(skipped.name));
    entry.hint = EscapedText(skipped.name) + EscapedText(skipped.reason);
    entry.cannotWrite = entry.hint;
    return entry;
}

// A sentence of the core ("saved and verified on port 1") as the status bar shows it.
QString Sentence(const QString &said) {
    if (said.isEmpty())
        return said;
    QString sentence = said.at(0).toUpper() + said.mid(1);
    return sentence.endsWith(u'.') || sentence.endsWith(u'…') ? sentence : sentence + u'.';
}

QDateTime FolderChanged() {
    const auto folder = RestorePointFolder();
    if (folder.index() == 1)
        return {};
    QFileInfo about(std::get<0>(folder));
    about.setCaching(false);
    return about.exists() ? about.lastModified() : QDateTime();
}

} // namespace

TunesModel::TunesModel(SerialPortService &port, PortDirectory ports, QObject *parent)
    : QObject(parent), m_port(port), m_ports(std::move(ports)) {
    m_rows = SettingRows(std::nullopt, std::nullopt);
    // A restore point taken by dccd-ctl or a second window shows as soon as the system tells
    // of it; where it cannot tell, within a second. Idle, the window does nothing.
    // A notice is read again whatever the folder's time says: a coarse clock of the file system
    // can give two changes one time.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        WatchFolder();
        ReadFolder();
    });
    m_poll.setInterval(1000);
    connect(&m_poll, &QTimer::timeout, this, &TunesModel::FollowFolder);
}

void TunesModel::WatchFolder() {
    const auto located = RestorePointFolder();
    if (located.index() == 1)
        return;
    // The folder, or before it is made the nearest folder above it that is there.
    QString watched = std::get<0>(located);
    while (!QFileInfo(watched).isDir() && QFileInfo(watched).dir().path() != watched)
        watched = QFileInfo(watched).dir().path();
    if (m_watcher.directories() == QStringList{watched})
        return;
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    if (m_watcher.addPath(watched))
        m_poll.stop();
    else
        m_poll.start();
}

TunesModel::~TunesModel() {
    // A reading of the folder delivers to this model: it must not outlive it.
    QThreadPool::globalInstance()->waitForDone();
}

QString TunesModel::ControllerHeading() const {
    if (!m_controller)
        return QStringLiteral("Controller");
    return QStringLiteral("Controller\nread %1")
        .arg(m_controllerReadAt.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
}

bool TunesModel::CanExchange() const {
    return m_task == TunesTask::None && !m_closeWhenDone;
}

bool TunesModel::CanWrite() const {
    return CanExchange() && SelectedTune().has_value();
}

bool TunesModel::CanSave() const {
    return SelectedTune().has_value() || m_controller.has_value();
}

void TunesModel::Load(const std::optional<qint16> &chosenPort) {
    const comfunct::PortScan scan = m_ports.scan ? m_ports.scan() : comfunct::PortScan{};
    m_portItems = scan.numbers;
    // The port chosen on the command line even when it is missing, as the tuner does; else the
    // lowest that exists, and none when none does.
    const QString preselected = QString::number(chosenPort.value_or(scan.defaultPort));
    m_portText = chosenPort || scan.numbers.contains(preselected) ? preselected : QString();
    Q_EMIT Changed(TunesPart::Port);
    SetStatus(QStringLiteral("Choose the port and press Read controller."));
    // The window shows first; its restore points follow.
    QTimer::singleShot(0, this, &TunesModel::ReadFolder);
}

void TunesModel::SetPortText(const QString &text) {
    m_portText = text;
}

void TunesModel::PortDropDown() {
    m_portItems = m_ports.scan ? m_ports.scan().numbers : QStringList();
    Q_EMIT Changed(TunesPart::Port);
}

std::optional<qint16> TunesModel::TypedPort() {
    const QString typed = m_portText.trimmed();
    if (typed.isEmpty()) {
        SetStatus(QStringLiteral("Cannot open port: no port number given."));
        return std::nullopt;
    }
    if (!HasLeadingNumber(typed)) {
        SetStatus(CannotOpenMessage(u'"' + EscapedText(typed) + u'"', NotAPortNumberReason(typed)));
        return std::nullopt;
    }
    const std::optional<qint16> port = PortNumber(typed);
    if (!port)
        SetStatus(CannotOpenMessage(EscapedText(typed), OutsidePortNumbers()));
    return port;
}

void TunesModel::Begin(TunesTask task, const QString &status) {
    m_task = task;
    m_status = Sentence(status);
    Q_EMIT Changed(TunesPart::Task);
    Q_EMIT Changed(TunesPart::Status);
}

void TunesModel::Finish(const QString &status) {
    m_task = TunesTask::None;
    m_status = Sentence(status);
    Q_EMIT Changed(TunesPart::Task);
    Q_EMIT Changed(TunesPart::Status);
    if (m_closeWhenDone)
        Q_EMIT CloseNow();
}

void TunesModel::SetStatus(const QString &status) {
    m_status = Sentence(status);
    Q_EMIT Changed(TunesPart::Status);
}

void TunesModel::ReadController() {
    const std::optional<qint16> port = CanExchange() ? TypedPort() : std::nullopt;
    if (!port)
        return;
    auto *reading = new TuneReading(m_port, m_ports.devicePath, kAnswerTime, this);
    m_reading = reading;
    connect(reading, &TuneReading::Waiting, this, &TunesModel::SetStatus);
    connect(reading, &TuneReading::Finished, this, [this, reading](const TuneReadOutcome &outcome) {
        reading->deleteLater();
        ReadDone(outcome);
    });
    Begin(TunesTask::Reading, QStringLiteral("Reading port %1…").arg(*port));
    reading->Start(*port);
}

void TunesModel::ReadDone(const TuneReadOutcome &outcome) {
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&outcome)) {
        Finish(problem->message);
        return;
    }
    m_controller = std::get<TuneFile>(outcome);
    m_controllerReadAt = QDateTime::currentDateTimeUtc();
    UpdateRows();
    Finish(QStringLiteral("Read port %1: the Controller column shows what it holds.")
               .arg(m_reading ? m_reading->PortName() : QString::number(m_controller->port)));
}

void TunesModel::BackUp() {
    const std::optional<qint16> port = CanExchange() ? TypedPort() : std::nullopt;
    if (!port)
        return;
    const auto kept = KeptRestorePoints();
    if (const QString *refused = std::get_if<QString>(&kept))
        return SetStatus(*refused);
    auto *backup = new Backup(m_port, m_ports.devicePath, kAnswerTime, this);
    connect(backup, &Backup::Waiting, this, &TunesModel::SetStatus);
    connect(backup, &Backup::Finished, this, [this, backup](const BackupOutcome &outcome) {
        backup->deleteLater();
        BackedUp(outcome);
    });
    Begin(TunesTask::BackingUp, QStringLiteral("Reading port %1 to back it up…").arg(*port));
    backup->Start(*port, std::get<int>(kept));
}

void TunesModel::BackedUp(const BackupOutcome &outcome) {
    QString said = outcome.message;
    if (outcome.kept) {
        m_controller = outcome.kept->file;
        m_controllerReadAt = QDateTime::currentDateTimeUtc();
        m_selectedName = outcome.kept->name;
        said += QStringLiteral("; nothing was written");
    }
    for (const QString &line : outcome.pruned)
        said += QStringLiteral("; ") + line;
    UpdateRows();
    ReadFolder();
    Finish(said);
}

void TunesModel::CheckConnection() {
    const std::optional<qint16> port = CanExchange() ? TypedPort() : std::nullopt;
    if (!port)
        return;
    // Without a system to ask, a port is known by its number and device alone.
    auto describe = m_ports.describePort ? m_ports.describePort : [this](qint16 n) {
        return comfunct::PortInfo{
            n, m_ports.devicePath ? m_ports.devicePath(n) : QString(), true, {}, {}, {}};
    };
    auto *check = new ConnectionCheck(m_port, describe, kAnswerTime, this);
    connect(check, &ConnectionCheck::Finished, this, [this, check](const ConnectionReport &report) {
        check->deleteLater();
        m_report = ProgramAndSystem(QStringLiteral("dccd-tunes"), QStringLiteral(DCCD_VERSION)) +
                   u'\n' + report.Text();
        Q_EMIT Changed(TunesPart::Report);
        Finish(report.VerdictLine());
    });
    Begin(TunesTask::Checking, QStringLiteral("Checking port %1…").arg(*port));
    check->Start(*port);
}

std::optional<TuningParameters> TunesModel::SelectedTune() const {
    if (m_selected < 0 || m_selected >= m_tunes.size() || !m_tunes.at(m_selected).file)
        return std::nullopt;
    return m_tunes.at(m_selected).file->tune;
}

void TunesModel::SelectTune(int index) {
    m_selected = index >= 0 && index < m_tunes.size() ? index : -1;
    m_selectedName = m_selected >= 0 ? m_tunes.at(m_selected).name : QString();
    UpdateRows();
    Q_EMIT Changed(TunesPart::Task); // what can be done with it
}

void TunesModel::UpdateRows() {
    m_rows = SettingRows(SelectedTune(),
                         m_controller ? std::optional(m_controller->tune) : std::nullopt);
    Q_EMIT Changed(TunesPart::Settings);
}

void TunesModel::SetRowChecked(int row, bool checked) {
    if (row >= 0 && row < m_rows.size() && m_rows.at(row).checked != checked) {
        m_rows[row].checked = checked;
        Q_EMIT Changed(TunesPart::Settings);
    }
}

void TunesModel::WriteToController() {
    if (!CanWrite())
        return;
    const TuneEntry &entry = m_tunes.at(m_selected);
    if (!entry.cannotWrite.isEmpty())
        return SetStatus(entry.cannotWrite + u'.');
    const QStringList only = CheckedKeys(m_rows);
    const auto differs = [](const SettingRow &row) { return row.differs; };
    if (only.isEmpty() && std::none_of(m_rows.cbegin(), m_rows.cend(),
                                       [](const SettingRow &row) { return row.checked; }))
        return SetStatus(std::any_of(m_rows.cbegin(), m_rows.cend(), differs) || !m_controller
                             ? QStringLiteral("No setting is checked: check the rows to write.")
                             : QStringLiteral("The controller already holds this tune, as read "
                                              "last: nothing to write."));
    if (const QString outside = OutOfRange(entry.file->tune, only); !outside.isEmpty())
        return SetStatus(QStringLiteral("The tune holds %1; the controller takes no such value, "
                                        "so it cannot be written.")
                             .arg(outside));
    const auto kept = KeptRestorePoints();
    if (const QString *refused = std::get_if<QString>(&kept))
        return SetStatus(*refused + u'.');
    const std::optional<qint16> port = TypedPort();
    if (!port)
        return;
    RestorePointInUse inUse;
    if (entry.kind == TuneEntry::Kind::RestorePoint) {
        auto held = HoldRestorePoint(entry.name);
        if (const QString *problem = std::get_if<QString>(&held))
            return SetStatus(*problem + u'.');
        inUse = std::move(std::get<RestorePointInUse>(held));
    }
    WritePlan plan;
    plan.port = *port;
    plan.tune = entry.file->tune;
    plan.only = only;
    plan.note = entry.kind == TuneEntry::Kind::RestorePoint
                    ? NoteBeforeWritingBack(entry.name)
                    : NoteBeforeWriting(EscapedText(QFileInfo(entry.name).fileName()));
    plan.writtenBack = entry.kind == TuneEntry::Kind::RestorePoint ? entry.name : QString();
    plan.kept = std::get<int>(kept);
    plan.askBeforeSending = true;
    plan.skipWhenHeld = true;
    m_writtenBackName = plan.writtenBack;
    auto *write = new VerifiedWrite(m_port, m_ports.devicePath, kAnswerTime, this);
    m_write = write;
    write->HoldWrittenBack(std::move(inUse));
    connect(write, &VerifiedWrite::Notice, this, &TunesModel::SetStatus);
    connect(write, &VerifiedWrite::ReadyToSend, this, &TunesModel::AskBeforeSending);
    connect(write, &VerifiedWrite::Finished, this, [this, write](const WriteOutcome &outcome) {
        write->deleteLater();
        Written(outcome);
    });
    Begin(TunesTask::Writing, QStringLiteral("Reading port %1 before writing…").arg(*port));
    write->Start(plan);
}

void TunesModel::AskBeforeSending(const WriteOutcome &sofar) {
    WriteQuestion question;
    question.heading = QStringLiteral("Write these changes to port %1?")
                           .arg(m_write ? m_write->PortName() : QString());
    question.changes = ChangeLines(*sofar.held, sofar.sent);
    if (m_selected >= 0 && m_tunes.at(m_selected).kind == TuneEntry::Kind::RestorePoint &&
        m_tunes.at(m_selected).name == m_writtenBackName) {
        const RestorePoint point{m_writtenBackName, {}, *m_tunes.at(m_selected).file, 0, {}};
        for (const QString &said : WritingBackSaid(point, sofar.taken ? sofar.taken->file.port : 0))
            question.about.append(Sentence(said));
    }
    if (sofar.taken)
        question.about.append(QStringLiteral("Restore point %1 keeps what the controller held "
                                             "until now: writing it back undoes this write.")
                                  .arg(sofar.taken->name));
    ReadFolder();
    Q_EMIT WriteQuestionAsked(question);
}

void TunesModel::AnswerWrite(bool write) {
    if (!m_write)
        return;
    if (write)
        m_write->Proceed();
    else
        m_write->Cancel();
}

void TunesModel::Written(const WriteOutcome &outcome) {
    if (outcome.end == WriteEnd::Verified) {
        const qint16 port = m_controller ? m_controller->port : qint16(0);
        m_controller = TuneFile{outcome.sent, {}, {}, port};
        m_controllerReadAt = QDateTime::currentDateTimeUtc();
        UpdateRows();
    }
    QString said = outcome.message;
    for (const QString &line : outcome.pruned)
        said += QStringLiteral("; ") + line;
    ReadFolder();
    Finish(said);
}

void TunesModel::ReportCopied() {
    SetStatus(QStringLiteral("The report is on the clipboard: paste it into your support "
                             "request."));
}

void TunesModel::OpenTuneFile(const QString &path) {
    auto read = ReadTuneFile(path);
    if (const QString *problem = std::get_if<QString>(&read))
        return SetStatus(*problem);
    TuneEntry entry{TuneEntry::Kind::File, {}, {}, std::get<TuneFile>(read), path, {}, {}};
    entry.text = EscapedText(QFileInfo(path).fileName());
    entry.note = entry.file->note;
    if (!entry.note.isEmpty())
        entry.text += QStringLiteral("  ") + EscapedText(entry.note);
    entry.hint = EscapedText(path);
    m_openedFiles.append(entry);
    m_selectedName = path;
    m_tunes.append(entry);
    m_selected = static_cast<int>(m_tunes.size() - 1);
    Q_EMIT Changed(TunesPart::Tunes);
    UpdateRows();
    SetStatus(QStringLiteral("Opened %1.").arg(EscapedText(path)));
}

void TunesModel::SaveAs(const QString &path, const QString &note) {
    const std::optional<TuningParameters> selected = SelectedTune();
    if (!selected && !m_controller)
        return;
    TuneFile file = selected ? *m_tunes.at(m_selected).file : *m_controller;
    file.note = note;
    TuneFileTarget target;
    std::optional<QString> problem = target.Open(path);
    if (!problem)
        problem = target.Commit(file);
    SetStatus(problem ? *problem : QStringLiteral("Saved %1.").arg(EscapedText(path)));
}

void TunesModel::FollowFolder() {
    WatchFolder();
    if (!m_folderBeingRead && FolderChanged() != m_folderSeen)
        ReadFolder();
}

void TunesModel::ReadFolder() {
    if (m_folderBeingRead) {
        m_readAgain = true; // what changed during this reading may be missing from it
        return;
    }
    m_folderBeingRead = true;
    WatchFolder();
    m_folderSeen = FolderChanged();
    // Ten thousand restore points take a moment to read: never on the window's thread. The
    // thread ends once it has read them: an idle window keeps none.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
    QThreadPool::globalInstance()->start([this] {
        RestorePointShelf shelf = ReadRestorePoints();
        QMetaObject::invokeMethod(this, [this, shelf] { ShowShelf(shelf); });
    });
}

void TunesModel::ShowShelf(const RestorePointShelf &shelf) {
    m_folderBeingRead = false;
    m_tunes.clear();
    for (const RestorePoint &point : shelf.points)
        m_tunes.append(EntryOf(point));
    for (const SkippedEntry &skipped : shelf.skipped)
        m_tunes.append(UnreadableEntry(skipped));
    m_tunes.append(m_openedFiles);
    m_selected = -1;
    for (int i = 0; i < m_tunes.size() && !m_selectedName.isEmpty(); ++i) {
        if (m_tunes.at(i).name == m_selectedName &&
            m_tunes.at(i).kind != TuneEntry::Kind::Unreadable)
            m_selected = i;
    }
    Q_EMIT Changed(TunesPart::Tunes);
    UpdateRows();
    if (!shelf.problem.isEmpty())
        SetStatus(shelf.problem);
    // A change while it was read is read again.
    if (std::exchange(m_readAgain, false))
        ReadFolder();
    else
        FollowFolder();
}

bool TunesModel::CloseRequested() {
    if (m_task != TunesTask::Writing)
        return true;
    // A write still asking sends nothing: the window may close once it has ended.
    if (m_write && m_write->Stage() == WriteStage::AwaitingGoAhead) {
        m_write->Cancel();
        if (m_task == TunesTask::None)
            return true;
    }
    // One past its question cannot be taken back: it is let end, and the window closes then.
    m_closeWhenDone = true;
    SetStatus(QStringLiteral("The write ends first; the window closes then."));
    return false;
}

} // namespace tuner
