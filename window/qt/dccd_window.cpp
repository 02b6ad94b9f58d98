#include "window/qt/dccd_window.h"

#include "window/layout.h"
#include "window/qt/built_in_fonts.h"
#include "window/qt/lamp.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

#include <limits>

namespace tuner {
namespace {

const QString kMagneto = QStringLiteral("Magneto");

Qt::Alignment ToAlignment(TextAlign align) {
    return (align == TextAlign::Left ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop;
}

// The port list, which tells the model each time it is about to open.
class PortList final : public QComboBox {
public:
    PortList(QWidget *parent, std::function<void()> aboutToOpen)
        : QComboBox(parent), m_aboutToOpen(std::move(aboutToOpen)) {}

    void showPopup() override {
        m_aboutToOpen();
        QComboBox::showPopup();
    }

private:
    std::function<void()> m_aboutToOpen;
};

} // namespace

DccdWindow::DccdWindow(DCCD &model, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_model(model) {
    setObjectName(QStringLiteral("DCCD"));
    setWindowTitle(m_model.Caption());
    setFixedSize(ClientWidth(), ClientHeight());
    Build();
    // Exit ends the window; whoever runs the program ends the program.
    connect(&m_model, &DCCD::ProgramEnds, this, &QWidget::close);
    connect(&m_model, &DCCD::FocusRequested, this, [this](Control *control) {
        if (QWidget *widget = Widget(control->Name()))
            widget->setFocus(Qt::OtherFocusReason);
    });
}

DccdWindow::~DccdWindow() {
    for (const auto &[control, observer] : std::as_const(m_observers))
        control->Forget(observer);
}

bool DccdWindow::InstallFontSubstitutes() {
    const bool loaded = LoadBuiltInFonts();
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans")});
    // A chancery face is narrow enough for the logo and the support line to fit their boxes on
    // one line: the system's or the one built in first.
    QFont::insertSubstitutions(kMagneto, {ChanceryFamily(), QStringLiteral("URW Chancery L"),
                                          QStringLiteral("Liberation Serif"),
                                          QStringLiteral("DejaVu Serif")});
    return loaded;
}

QFont DccdWindow::DesignedFont(const QString &name) {
    const ControlLayout *design = FindLayout(name);
    QFont font;
    if (!design || design->fontFamily.isEmpty())
        return font;
    font.setFamily(design->fontFamily);
    font.setPointSizeF(design->pointSize);
    font.setBold(design->bold);
    font.setItalic(false);
    font.setUnderline(false);
    // Where the decorative face is missing, the chancery italic stands in for its flourish, at
    // its own weight: a bold made from it is wider on Windows (a pixel more for every letter)
    // and puts the logo on two lines.
    if (design->fontFamily == kMagneto && !QFontDatabase::hasFamily(kMagneto)) {
        font.setItalic(true);
        font.setWeight(QFont::Medium);
    }
    return font;
}

void DccdWindow::Build() {
    for (const ControlLayout &design : WindowLayout()) {
        Control *control = m_model.FindControl(design.name);
        Q_ASSERT(control);
        QWidget *widget = MakeWidget(design, control);
        Place(widget, design, *control);
        m_observers.append({control, control->Observe([this](const Control &c, ControlProperty p) {
                                Mirror(c, p);
                            })});
    }
    SetTabOrder();
    for (Control *control : m_model.Controls())
        UpdateAccessibleName(*control);
}

// The widget of a control's kind, showing its initial state and forwarding what the user does.
QWidget *DccdWindow::MakeWidget(const ControlLayout &design, Control *control) {
    switch (design.kind) {
    case ControlKind::Label: {
        auto *label = new QLabel(control->Caption(), this);
        label->setAutoFillBackground(true);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(ToAlignment(design.align));
        label->setMargin(0);
        label->setIndent(0);
        return label;
    }
    case ControlKind::CommandButton: {
        auto *button = new QPushButton(this);
        button->setText(control->Caption());
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFocusPolicy(Qt::StrongFocus);
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, [control] { control->RaiseClick(); });
        return button;
    }
    case ControlKind::TextBox: {
        auto *edit = new QLineEdit(control->Text(), this);
        edit->setMaxLength(std::numeric_limits<int>::max()); // text boxes have no limit
        edit->setAlignment(ToAlignment(design.align) & ~Qt::AlignTop);
        edit->setFrame(true);
        edit->setFocusPolicy(Qt::StrongFocus);
        connect(edit, &QLineEdit::textEdited, this,
                [control](const QString &text) { control->SetText(text); });
        return edit;
    }
    case ControlKind::ComboBox:
        return MakePortList(control);
    case ControlKind::Shape: {
        auto *lamp = new Lamp(this);
        lamp->SetFillColor(control->FillColor());
        return lamp;
    }
    }
    return nullptr;
}

QWidget *DccdWindow::MakePortList(Control *control) {
    auto *combo = new PortList(this, [this] { m_model.pCPort_DropDown(); });
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    // Completion would show "13" where the user typed "1", while Connect reads the typed text:
    // the field must show exactly what was typed.
    combo->setCompleter(nullptr);
    combo->setFocusPolicy(Qt::StrongFocus);
    combo->setEditText(control->Text());
    connect(combo->lineEdit(), &QLineEdit::textEdited, this,
            [control](const QString &text) { control->SetText(text); });
    connect(combo, &QComboBox::activated, this,
            [control, combo](int index) { control->SetText(combo->itemText(index)); });
    return combo;
}

// The designed box, font and enabled state.
void DccdWindow::Place(QWidget *widget, const ControlLayout &design, const Control &control) {
    widget->setObjectName(design.name);
    widget->setGeometry(design.Left(), design.Top(), design.Width(), design.Height());
    if (!design.fontFamily.isEmpty())
        widget->setFont(DesignedFont(design.name));
    widget->setEnabled(control.Enabled());
    m_widgets.insert(design.name, widget);
    UpdateHint(control);
}

// Buttons, boxes and the port list take the focus in their designed tab-index order.
void DccdWindow::SetTabOrder() {
    QList<const ControlLayout *> focusable;
    for (const ControlLayout &design : WindowLayout()) {
        if (design.kind == ControlKind::CommandButton || design.kind == ControlKind::TextBox ||
            design.kind == ControlKind::ComboBox)
            focusable.append(&design);
    }
    std::sort(
        focusable.begin(), focusable.end(),
        [](const ControlLayout *a, const ControlLayout *b) { return a->tabIndex < b->tabIndex; });
    for (const ControlLayout *design : focusable)
        m_tabOrder.append(m_widgets.value(design->name));
    for (qsizetype i = 1; i < m_tabOrder.size(); ++i)
        QWidget::setTabOrder(m_tabOrder.at(i - 1), m_tabOrder.at(i));
}

void DccdWindow::UpdateAccessibleName(const Control &control) {
    QWidget *widget = Widget(control.Name());
    switch (control.Kind()) {
    case ControlKind::Label:
        if (control.Name() == u"tStatus") {
            widget->setAccessibleName(QStringLiteral("Status"));
            widget->setAccessibleDescription(control.Caption());
            UpdateHint(control);
        } else {
            widget->setAccessibleName(control.Caption());
        }
        break;
    case ControlKind::CommandButton:
        widget->setAccessibleName(control.Caption());
        break;
    case ControlKind::TextBox:
    case ControlKind::ComboBox:
        if (const Control *label = m_model.FindControl(CaptionLabelOf(control.Name())))
            widget->setAccessibleName(label->Caption());
        break;
    case ControlKind::Shape:
        break;
    }
}

void DccdWindow::UpdateHint(const Control &control) {
    QWidget *widget = Widget(control.Name());
    if (control.Kind() == ControlKind::Label) {
        // The whole message, where the status line names a long device by its short form.
        if (control.Name() == u"tStatus")
            widget->setToolTip(m_model.StatusToolTip());
        return;
    }
    if (control.Hint().isEmpty())
        return;
    widget->setToolTip(control.Hint());
    widget->setAccessibleDescription(control.Hint());
}

void DccdWindow::Mirror(const Control &control, ControlProperty property) {
    QWidget *widget = Widget(control.Name());
    if (!widget)
        return;
    switch (property) {
    case ControlProperty::Caption:
        if (auto *label = qobject_cast<QLabel *>(widget))
            label->setText(control.Caption());
        else if (auto *button = qobject_cast<QPushButton *>(widget))
            button->setText(control.Caption());
        UpdateAccessibleName(control);
        break;
    case ControlProperty::Text:
        if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (edit->text() != control.Text()) {
                const QSignalBlocker blocker(edit);
                edit->setText(control.Text());
            }
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            if (combo->currentText() != control.Text()) {
                const QSignalBlocker blocker(combo);
                const QSignalBlocker editBlocker(combo->lineEdit());
                combo->setEditText(control.Text());
            }
        }
        break;
    case ControlProperty::Enabled:
        widget->setEnabled(control.Enabled());
        break;
    case ControlProperty::FillColor:
        if (auto *lamp = qobject_cast<Lamp *>(widget))
            lamp->SetFillColor(control.FillColor());
        break;
    case ControlProperty::Hint:
        UpdateHint(control);
        break;
    case ControlProperty::Items:
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            MirrorItems(*combo, control);
        break;
    }
}

void DccdWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The first control in tab order that can take the focus gets it.
    for (QWidget *widget : std::as_const(m_tabOrder)) {
        if (widget->isEnabled()) {
            widget->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void DccdWindow::closeEvent(QCloseEvent *event) {
    // The close box is Exit: an open port is closed before the program ends.
    if (!m_model.Ended())
        m_model.bExit_Click();
    event->accept();
}

// The list shows the model's items with their hints; the field keeps what was typed or picked,
// and filling the list raises no event.
void DccdWindow::MirrorItems(QComboBox &combo, const Control &control) {
    const QSignalBlocker blocker(combo);
    const QSignalBlocker editBlocker(combo.lineEdit());
    combo.clear();
    combo.addItems(control.Items());
    for (int i = 0; i < combo.count(); ++i)
        combo.setItemData(i, control.ItemHint(i), Qt::ToolTipRole);
    combo.setCurrentIndex(combo.findText(control.Text()));
    combo.setEditText(control.Text());
}

bool DccdWindow::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        auto *button = qobject_cast<QPushButton *>(watched);
        if (button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!key->isAutoRepeat() && button->isEnabled())
                button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tuner
