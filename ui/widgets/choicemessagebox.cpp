#include "choicemessagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "settingsstore.h"
#include "standardmessagebox.h"
#include "updatecheck.h"

namespace {

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;

// Draws the message with the same flags it was measured with, so the box is exactly as large as
// the wrapped text.
class MessageText : public QWidget {
public:
    MessageText(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), kTextFlags, text_);
    }

private:
    QString text_;
};

QStyle::StandardPixmap iconPixmap(unsigned flags) {
    switch (flags & 0xF0) {
        case mb::IconStop:
            return QStyle::SP_MessageBoxCritical;
        case mb::IconQuestion:
            return QStyle::SP_MessageBoxQuestion;
        case mb::IconExclamation:
            return QStyle::SP_MessageBoxWarning;
        default:
            return QStyle::SP_MessageBoxInformation;
    }
}

}  // namespace

CChoiceDlg::CChoiceDlg(QWidget* owner, const QString& text, const QString& caption, unsigned flags,
                       const ChoiceParams& params, SettingsStore& store)
    : QDialog(owner), text_(text), flags_(flags), params_(params), store_(store) {
    spec_ = choice::buttons(flags, params);
    defaultIndex_ = choice::defaultButtonIndex(flags, spec_.size());
    escapeId_ = choice::escapeId(spec_);
    answer_ = static_cast<unsigned>(escapeId_.value_or(0));

    // Without an answer for Escape the close box would have nothing to answer either.
    Qt::WindowFlags windowFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (escapeId_) windowFlags |= Qt::WindowCloseButtonHint;
    if (flags & (mb::TopMost | mb::SystemModal)) windowFlags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(windowFlags);
    setWindowTitle(choice::effectiveCaption(caption));
    setModal(true);

    build(flags & 0xF0);

    if (!params.position.isNull()) move(params.position);  // otherwise QDialog centres on the owner
    countdown_.setInterval(1000);
    connect(&countdown_, &QTimer::timeout, this, &CChoiceDlg::tick);
}

void CChoiceDlg::build(unsigned iconFlags) {
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 1024;

    choice::LayoutInput in;
    in.screenWidth = screenWidth;
    in.buttonCount = spec_.size();
    in.countdown = choice::clampSeconds(params_.countdownSeconds) > 0;
    in.rightAlign = params_.rightAlignButtons;

    QLabel* icon = nullptr;
    if (iconFlags) {
        const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        icon = new QLabel(this);
        icon->setPixmap(style()->standardIcon(iconPixmap(iconFlags), nullptr, this).pixmap(extent, extent));
        in.iconSize = QSize(extent, extent);
    }

    const int maxWidth = choice::maxTextWidth(screenWidth, in.iconSize.width());
    const QSize textSize = fontMetrics().boundingRect(QRect(0, 0, maxWidth, 1 << 20), kTextFlags, text_).size();
    auto* message = new MessageText(text_, this);
    message->setAccessibleName(text_);

    const QString checkText = choice::checkText(flags_);
    if (!checkText.isEmpty()) {
        checkBox_ = new QCheckBox(checkText, this);
        in.checkBoxSize = checkBox_->sizeHint();
        // Ticking the box is a command in the box: it ends the countdown like a click does.
        connect(checkBox_, &QCheckBox::toggled, this, &CChoiceDlg::stopCountdown);
    }

    for (int i = 0; i < spec_.size(); ++i) {
        auto* button = new QPushButton(spec_[i].caption, this);
        button->setAutoDefault(false);
        const int buttonId = spec_[i].id;
        connect(button, &QPushButton::clicked, this, [this, buttonId] { press(buttonId, false); });
        buttons_.append(button);
    }
    buttons_[defaultIndex_]->setDefault(true);
    buttons_[defaultIndex_]->setFocus();

    const choice::Layout placed = choice::layout(in, textSize);
    if (icon) icon->setGeometry(placed.icon);
    message->setGeometry(placed.text);
    if (checkBox_) checkBox_->setGeometry(placed.checkBox);
    for (int i = 0; i < buttons_.size(); ++i) buttons_[i]->setGeometry(placed.buttons[i]);
    setFixedSize(placed.client);

    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

QPushButton* CChoiceDlg::button(int buttonId) const {
    for (int i = 0; i < spec_.size(); ++i)
        if (spec_[i].id == buttonId) return buttons_[i];
    return nullptr;
}

void CChoiceDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;

    if (!(flags_ & mb::NoSound)) QApplication::beep();
    if (flags_ & mb::SetForeground) {
        raise();
        activateWindow();
    }
    if (const int disabled = choice::clampSeconds(params_.disabledSeconds); disabled > 0) {
        buttonsLocked_ = true;
        for (QPushButton* button : buttons_) button->setEnabled(false);
        QTimer::singleShot(disabled * 1000, this, &CChoiceDlg::enableButtons);
    }
    secondsLeft_ = choice::clampSeconds(params_.countdownSeconds);
    if (secondsLeft_ > 0) {
        buttons_[defaultIndex_]->setText(choice::countdownCaption(spec_[defaultIndex_].caption, secondsLeft_));
        countdown_.start();
    }
}

void CChoiceDlg::mousePressEvent(QMouseEvent* event) {
    stopCountdown();
    QDialog::mousePressEvent(event);
}

bool CChoiceDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) stopCountdown();
    return QDialog::eventFilter(watched, event);
}

void CChoiceDlg::reject() {
    if (buttonsLocked_ || !escapeId_) return;
    press(*escapeId_, false);
}

void CChoiceDlg::enableButtons() {
    buttonsLocked_ = false;
    for (QPushButton* button : buttons_) button->setEnabled(true);
}

void CChoiceDlg::tick() {
    if (--secondsLeft_ > 0) {
        buttons_[defaultIndex_]->setText(choice::countdownCaption(spec_[defaultIndex_].caption, secondsLeft_));
        return;
    }
    stopCountdown();
    press(spec_[defaultIndex_].id, true);
}

void CChoiceDlg::stopCountdown() {
    if (!countdown_.isActive()) return;
    countdown_.stop();
    buttons_[defaultIndex_]->setText(spec_[defaultIndex_].caption);
}

void CChoiceDlg::press(int buttonId, bool timedOut) {
    if (!timedOut) stopCountdown();
    if (buttonId == id::HelpButton) {
        // There is no help file; the program's web page stands in for it and the box stays up.
        QDesktopServices::openUrl(QUrl(update::siteAddress(store_)));
        return;
    }
    if (buttonId == id::Report && params_.report) params_.report();
    answer_ = choice::composeResult(buttonId, checkBox_ && checkBox_->isChecked(), flags_, timedOut);
    choice::rememberAnswer(store_, params_, answer_);
    accept();
}

unsigned ChoiceMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags,
                          const ChoiceParams& params, SettingsStore& store) {
    if ((flags & 0xF0) == mb::IconStop && (flags & mb::SystemModal))
        return static_cast<unsigned>(standardMessageBox(owner, text, caption, flags, QUrl(update::siteAddress(store))));
    if (const auto remembered = choice::rememberedAnswer(store, flags, params)) return *remembered;

    CChoiceDlg box(owner ? owner : defaultMessageOwner(), text, caption, flags, params, store);
    box.exec();
    return box.answer();
}
