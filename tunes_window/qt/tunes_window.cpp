#include "tunes_window/qt/tunes_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tuner {
namespace {

// A drop-down that tells when its list is about to open, so the ports are probed afresh.
class PortBox : public QComboBox {
public:
    std::function<void()> aboutToOpen;

    void showPopup() override {
        if (aboutToOpen)
            aboutToOpen();
        QComboBox::showPopup();
    }
};

// A control named for the screen reader as the screen shows it.
template <typename Widget> Widget *Named(Widget *widget, const QString &name) {
    widget->setAccessibleName(name);
    return widget;
}

const QStringList kColumns{QStringLiteral("Selected"), QStringLiteral("Controller"),
                           QStringLiteral("Default")};

} // namespace

TunesWindow::TunesWindow(TunesModel &model, QWidget *parent) : QMainWindow(parent), m_model(model) {
    setWindowTitle(QStringLiteral("DCCD Tunes"));
    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(TunesBox());
    splitter->addWidget(SettingsBox());
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(PortRow());
    layout->addWidget(splitter, 1);
    setCentralWidget(central);
    // Named by what it says, as a screen reader reads a status bar.
    m_status = new QLabel;
    m_status->setTextFormat(Qt::PlainText);
    m_busy = Named(new QProgressBar, QStringLiteral("Busy"));
    m_busy->setRange(0, 0);
    m_busy->setMaximumWidth(120);
    statusBar()->addWidget(m_status, 1);
    statusBar()->addPermanentWidget(m_busy);
    connect(&m_model, &TunesModel::Changed, this, &TunesWindow::Mirror);
    connect(&m_model, &TunesModel::WriteQuestionAsked, this, &TunesWindow::Ask);
    connect(&m_model, &TunesModel::CloseNow, this, &QWidget::close);
    for (const TunesPart part : {TunesPart::Port, TunesPart::Tunes, TunesPart::Settings,
                                 TunesPart::Status, TunesPart::Task})
        Mirror(part);
}

QPushButton *TunesWindow::Button(const QString &text, void (TunesWindow::*clicked)()) {
    auto *button = Named(new QPushButton(text), text);
    connect(button, &QPushButton::clicked, this, clicked);
    return button;
}

QWidget *TunesWindow::PortRow() {
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(QStringLiteral("Port"));
    auto *port = new PortBox;
    port->aboutToOpen = [this] { m_model.PortDropDown(); };
    m_port = Named(port, QStringLiteral("Port"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    m_port->setMinimumContentsLength(6);
    label->setBuddy(m_port);
    connect(m_port, &QComboBox::editTextChanged, this, [this](const QString &text) {
        if (!m_mirroring)
            m_model.SetPortText(text);
    });
    layout->addWidget(label);
    layout->addWidget(m_port);
    m_exchangeButtons = {Button(QStringLiteral("Read controller"), &TunesWindow::Read),
                         Button(QStringLiteral("Back up now"), &TunesWindow::BackUp),
                         Button(QStringLiteral("Check connection"), &TunesWindow::Check)};
    for (QPushButton *button : m_exchangeButtons)
        layout->addWidget(button);
    layout->addStretch(1);
    return row;
}

QWidget *TunesWindow::TunesBox() {
    auto *box = Named(new QGroupBox(QStringLiteral("Tunes")), QStringLiteral("Tunes"));
    auto *layout = new QVBoxLayout(box);
    m_tunes = Named(new QListWidget, QStringLiteral("Tunes"));
    // Ten thousand restore points scroll smoothly when every line has the same height.
    m_tunes->setUniformItemSizes(true);
    m_tunes->setSelectionMode(QAbstractItemView::SingleSelection);
    // A row selected by the pointer, the keys or a screen reader.
    connect(m_tunes, &QListWidget::itemSelectionChanged, this, [this] {
        const QModelIndexList selected = m_tunes->selectionModel()->selectedRows();
        if (!m_mirroring)
            m_model.SelectTune(selected.size() == 1 ? selected.first().row() : -1);
    });
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button(QStringLiteral("Open tune file…"), &TunesWindow::Open));
    m_saveAs = Button(QStringLiteral("Save as…"), &TunesWindow::SaveAs);
    buttons->addWidget(m_saveAs);
    buttons->addStretch(1);
    layout->addWidget(m_tunes, 1);
    layout->addLayout(buttons);
    return box;
}

QWidget *TunesWindow::SettingsBox() {
    auto *box = Named(new QGroupBox(QStringLiteral("Settings")), QStringLiteral("Settings"));
    auto *layout = new QVBoxLayout(box);
    m_settings =
        Named(new QTableWidget(0, static_cast<int>(kColumns.size())), QStringLiteral("Settings"));
    m_settings->setHorizontalHeaderLabels(kColumns);
    m_settings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_settings->setSelectionMode(QAbstractItemView::NoSelection);
    m_settings->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_settings, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_mirroring && item->column() == 0)
            m_model.SetRowChecked(item->row(), item->checkState() == Qt::Checked);
    });
    m_write = Button(QStringLiteral("Write to controller"), &TunesWindow::Write);
    layout->addWidget(m_settings, 1);
    layout->addWidget(m_write, 0, Qt::AlignRight);
    return box;
}

void TunesWindow::Mirror(TunesPart part) {
    m_mirroring = true;
    switch (part) {
    case TunesPart::Port:
        MirrorPort();
        break;
    case TunesPart::Tunes:
        MirrorTunes();
        MirrorTask(); // what can be done with the tune now selected
        break;
    case TunesPart::Settings:
        MirrorSettings();
        MirrorTask();
        break;
    case TunesPart::Status:
        m_status->setText(m_model.Status());
        break;
    case TunesPart::Task:
        MirrorTask();
        break;
    case TunesPart::Report:
        ShowReport();
        break;
    }
    m_mirroring = false;
}

void TunesWindow::MirrorPort() {
    const QString typed = m_model.PortText();
    m_port->clear();
    m_port->addItems(m_model.PortItems());
    m_port->setEditText(typed);
}

void TunesWindow::MirrorTunes() {
    m_tunes->clear();
    for (const TuneEntry &entry : m_model.Tunes()) {
        auto *item = new QListWidgetItem(entry.text, m_tunes);
        item->setToolTip(entry.hint);
        if (!entry.cannotWrite.isEmpty())
            item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    }
    m_tunes->setCurrentRow(m_model.Selected());
}

void TunesWindow::MirrorSettings() {
    const QList<SettingRow> &rows = m_model.Rows();
    m_settings->setRowCount(static_cast<int>(rows.size()));
    m_settings->setHorizontalHeaderItem(1, new QTableWidgetItem(m_model.ControllerHeading()));
    for (int i = 0; i < rows.size(); ++i) {
        const SettingRow &row = rows.at(i);
        m_settings->setVerticalHeaderItem(i, new QTableWidgetItem(row.name));
        auto *selected = new QTableWidgetItem(row.selected);
        selected->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        selected->setCheckState(row.checked ? Qt::Checked : Qt::Unchecked);
        const QStringList cells{row.selected, row.controller, row.defaultValue};
        m_settings->setItem(i, 0, selected);
        for (int column = 1; column < cells.size(); ++column)
            m_settings->setItem(i, column, new QTableWidgetItem(cells.at(column)));
        for (int column = 0; column < cells.size(); ++column) {
            QFont font = m_settings->item(i, column)->font();
            font.setBold(row.differs); // the rows where the tune and the controller differ
            m_settings->item(i, column)->setFont(font);
        }
        selected->setToolTip(row.differs ? QStringLiteral("differs from the controller")
                                         : QString());
    }
    // Every value shown whole, measured once for each change of the rows (a header that
    // measured its contents on every layout would slow the start), and the splitter never
    // squeezes the table below them.
    m_settings->resizeColumnsToContents();
    m_settings->resizeRowsToContents();
    m_settings->setMinimumWidth(m_settings->verticalHeader()->sizeHint().width() +
                                m_settings->horizontalHeader()->length() +
                                2 * m_settings->frameWidth());
}

void TunesWindow::MirrorTask() {
    const bool free = m_model.CanExchange();
    for (QPushButton *button : m_exchangeButtons)
        button->setEnabled(free);
    m_port->setEnabled(free);
    m_write->setEnabled(m_model.CanWrite());
    m_saveAs->setEnabled(m_model.CanSave());
    m_busy->setVisible(m_model.Task() != TunesTask::None);
}

void TunesWindow::Ask(const WriteQuestion &question) {
    auto *box = new QMessageBox(QMessageBox::Question, windowTitle(), question.heading,
                                QMessageBox::NoButton, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setInformativeText(
        (question.changes + QStringList{QString()} + question.about).join(u'\n'));
    QPushButton *write = box->addButton(QStringLiteral("Write"), QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
    write->setAccessibleName(QStringLiteral("Write"));
    box->setDefaultButton(QMessageBox::Cancel);
    connect(box, &QMessageBox::finished, this,
            [this, box, write] { m_model.AnswerWrite(box->clickedButton() == write); });
    box->open();
}

void TunesWindow::Read() {
    m_model.ReadController();
}

void TunesWindow::BackUp() {
    m_model.BackUp();
}

void TunesWindow::Check() {
    m_model.CheckConnection();
}

// The connection check's report in a window of its own beside the main one, kept until closed,
// with the button that puts it on the clipboard.
void TunesWindow::ShowReport() {
    if (m_report == nullptr) {
        m_report = new QDialog(this);
        m_report->setWindowTitle(QStringLiteral("Connection report"));
        auto *layout = new QVBoxLayout(m_report);
        m_reportText = Named(new QPlainTextEdit, QStringLiteral("Connection report"));
        m_reportText->setReadOnly(true);
        m_reportText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        m_reportText->setLineWrapMode(QPlainTextEdit::NoWrap);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        QPushButton *copy =
            Named(new QPushButton(QStringLiteral("Copy report")), QStringLiteral("Copy report"));
        buttons->addButton(copy, QDialogButtonBox::ActionRole);
        connect(copy, &QPushButton::clicked, this, [this] {
            QGuiApplication::clipboard()->setText(m_model.Report());
            m_model.ReportCopied();
        });
        connect(buttons, &QDialogButtonBox::rejected, m_report, &QDialog::hide);
        layout->addWidget(m_reportText, 1);
        layout->addWidget(buttons);
        m_report->resize(640, 420);
    }
    m_reportText->setPlainText(m_model.Report());
    m_report->show();
    m_report->raise();
}

void TunesWindow::Write() {
    m_model.WriteToController();
}

void TunesWindow::Open() {
    auto *dialog = new QFileDialog(this, QStringLiteral("Open tune file"), QString(),
                                   QStringLiteral("Tune files (*.json);;All files (*)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this](const QString &path) { m_model.OpenTuneFile(path); });
    dialog->open();
}

void TunesWindow::SaveAs() {
    auto *dialog = new QFileDialog(this, QStringLiteral("Save as"), QString(),
                                   QStringLiteral("Tune files (*.json)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("json"));
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        auto *note = new QInputDialog(this);
        note->setAttribute(Qt::WA_DeleteOnClose);
        note->setWindowTitle(QStringLiteral("Save as"));
        note->setLabelText(QStringLiteral("Note (optional):"));
        connect(note, &QInputDialog::textValueSelected, this,
                [this, path](const QString &text) { m_model.SaveAs(path, text); });
        note->open();
    });
    dialog->open();
}

void TunesWindow::closeEvent(QCloseEvent *event) {
    if (m_model.CloseRequested())
        event->accept();
    else
        event->ignore();
}

} // namespace tuner
