#include "filesaveasdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

#include "filename.h"
#include "framecontext.h"
#include "picturerecord.h"
#include "prompter.h"

// Resources of a static library are registered by hand, outside any namespace.
static void registerOutputResources() { Q_INIT_RESOURCE(output); }

namespace {

const QString kJpgFilter = QStringLiteral("JPG Files (*.jpg)|*.jpg|All Files (*.*)|*.*||");
const QString kDragEntry = QStringLiteral("Drag and Drop Pictures");
constexpr int kNoSelection = 0;  // item data of the drag entry, which stands for no selection

QCheckBox* checkBox(const QString& text, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

}  // namespace

QString CFileSaveAsDlg::titleFor(SaveAsMode mode) {
    switch (mode) {
        case SaveAsMode::DragAndDrop: return QStringLiteral("Drag and Drop Options");
        case SaveAsMode::SendEmail: return QStringLiteral("Select Pictures to Send to Email");
        case SaveAsMode::BurnCd: return QStringLiteral("Select Pictures to Burn to CD");
        case SaveAsMode::SaveAs: break;
    }
    return QStringLiteral("File Save As");
}

QString CFileSaveAsDlg::okCaptionFor(SaveAsMode mode) {
    switch (mode) {
        case SaveAsMode::SendEmail: return QStringLiteral("Send Email");
        case SaveAsMode::BurnCd: return QStringLiteral("Burn CD");
        case SaveAsMode::SaveAs:
        case SaveAsMode::DragAndDrop: break;
    }
    return QStringLiteral("Save");
}

CFileSaveAsDlg::CFileSaveAsDlg(SaveAsMode mode, FrameContext& frame, QWidget* parent)
    : QDialog(parent), frame_(frame), options_(mode), opened_(mode) {
    registerOutputResources();
    setWindowTitle(titleFor(mode));

    // Pictures: which ones, and how many.
    pictures_ = new QComboBox(this);
    pictures_->setObjectName(QStringLiteral("pictures"));
    pictures_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pictures_->setMinimumContentsLength(28);
    countLabel_ = new QLabel(QStringLiteral("0"), this);
    countLabel_->setObjectName(QStringLiteral("count"));
    countLabel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    countLabel_->setMinimumWidth(countLabel_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 8);
    countLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    saveAsPath_ = new QLineEdit(this);
    saveAsPath_->setObjectName(QStringLiteral("saveAsPath"));
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName(QStringLiteral("browse"));
    browse_->setAutoDefault(false);
    browse_->setFixedWidth(browse_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);

    auto* picturesLabel = new QLabel(QStringLiteral("&Pictures:"), this);
    picturesLabel->setBuddy(pictures_);
    auto* saveAsLabel = new QLabel(QStringLiteral("Save &As:"), this);
    saveAsLabel->setBuddy(saveAsPath_);
    auto* which = new QGroupBox(QStringLiteral("Pictures"), this);
    auto* whichGrid = new QGridLayout(which);
    whichGrid->addWidget(picturesLabel, 0, 0);
    whichGrid->addWidget(pictures_, 0, 1, 1, 2);
    whichGrid->addWidget(new QLabel(QStringLiteral("# of Pics:"), this), 0, 3);
    whichGrid->addWidget(countLabel_, 0, 4);
    whichGrid->addWidget(saveAsLabel, 1, 0);
    whichGrid->addWidget(saveAsPath_, 1, 1, 1, 3);
    whichGrid->addWidget(browse_, 1, 4);
    whichGrid->setColumnStretch(1, 1);

    // How each copy is made.
    saveCropped_ = checkBox(QStringLiteral("Save &Cropped Picture"), "saveCropped", this);
    originalDateTime_ = checkBox(QStringLiteral("Use Original &Date && Time"), "originalDateTime", this);
    size_ = new QComboBox(this);
    size_->setObjectName(QStringLiteral("pictureSize"));
    size_->addItems(saveas::sizeTexts());
    ratio_ = new QComboBox(this);
    ratio_->setObjectName(QStringLiteral("pictureRatio"));
    ratio_->addItems(saveas::ratioTexts());
    outputSize_ = new QLabel(this);
    outputSize_->setObjectName(QStringLiteral("outputSize"));
    outputSize_->setMinimumWidth(outputSize_->fontMetrics().horizontalAdvance(QStringLiteral("00000 x 00000")));
    quality_ = new QSlider(Qt::Horizontal, this);
    quality_->setObjectName(QStringLiteral("quality"));
    quality_->setRange(0, 100);
    quality_->setTickPosition(QSlider::TicksBelow);
    qualityNumber_ = new QLabel(this);
    qualityNumber_->setObjectName(QStringLiteral("qualityNumber"));
    qualityNumber_->setMinimumWidth(qualityNumber_->fontMetrics().horizontalAdvance(QStringLiteral("1000")));
    qualityNumber_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    appendInfo_ = checkBox(QStringLiteral("Append &Info to Picture"), "appendInfo", this);
    overlayDateTime_ = checkBox(QStringLiteral("&Overlay Date/Time"), "overlayDateTime", this);
    keepPictureData_ = checkBox(QStringLiteral("&Keep Picture Data"), "keepPictureData", this);
    keepPictureData_->setToolTip(
        QStringLiteral("Write the headline, caption, people, place and date into each resized copy"));

    auto* sizeLabel = new QLabel(QStringLiteral("Picture &Size:"), this);
    sizeLabel->setBuddy(size_);
    auto* ratioLabel = new QLabel(QStringLiteral("Picture &Ratio:"), this);
    ratioLabel->setBuddy(ratio_);
    auto* qualityLabel = new QLabel(QStringLiteral("&Quality:"), this);
    qualityLabel->setBuddy(quality_);
    auto* how = new QGroupBox(QStringLiteral("Picture Options"), this);
    auto* howGrid = new QGridLayout(how);
    howGrid->addWidget(saveCropped_, 0, 0, 1, 2);
    howGrid->addWidget(originalDateTime_, 0, 2, 1, 3);
    howGrid->addWidget(sizeLabel, 1, 0);
    howGrid->addWidget(size_, 1, 1);
    howGrid->addWidget(ratioLabel, 1, 2);
    howGrid->addWidget(ratio_, 1, 3, 1, 2);
    howGrid->addWidget(new QLabel(QStringLiteral("Output Size:"), this), 2, 0);
    howGrid->addWidget(outputSize_, 2, 1);
    howGrid->addWidget(qualityLabel, 3, 0);
    howGrid->addWidget(quality_, 3, 1, 1, 3);
    howGrid->addWidget(qualityNumber_, 3, 4);
    howGrid->addWidget(appendInfo_, 4, 0, 1, 2);
    howGrid->addWidget(overlayDateTime_, 4, 2, 1, 3);
    howGrid->addWidget(keepPictureData_, 5, 0, 1, 2);
    howGrid->setColumnStretch(1, 1);
    howGrid->setColumnStretch(3, 1);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setTextVisible(false);

    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(okCaptionFor(mode), QDialogButtonBox::AcceptRole);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFileSaveAsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CFileSaveAsDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(which);
    layout->addWidget(how);
    layout->addWidget(progress_);
    layout->addWidget(buttons);

    // The controls write through to the options, so the Output Size follows every change.
    connect(pictures_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) applySelection();
    });
    connect(saveAsPath_, &QLineEdit::textChanged, this, [this](const QString& text) { options_.saveAsPath = text; });
    connect(browse_, &QPushButton::clicked, this, &CFileSaveAsDlg::browse);
    connect(saveCropped_, &QCheckBox::toggled, this, [this](bool on) {
        options_.saveCropped = on;
        options_.refreshRowZero();
        updateOutputSize();
    });
    connect(originalDateTime_, &QCheckBox::toggled, this, [this](bool on) { options_.useOriginalDateTime = on; });
    connect(size_, &QComboBox::currentIndexChanged, this, [this](int row) {
        options_.pictureSize = std::max(row, 0);
        updateOutputSize();
    });
    connect(ratio_, &QComboBox::currentIndexChanged, this, [this](int row) {
        options_.pictureRatio = std::max(row, 0);
        updateOutputSize();
    });
    connect(quality_, &QSlider::valueChanged, this, [this](int value) {
        options_.quality = value;
        qualityNumber_->setNum(value);
    });
    connect(appendInfo_, &QCheckBox::toggled, this, [this](bool on) { options_.appendInfo = on; });
    connect(keepPictureData_, &QCheckBox::toggled, this, [this](bool on) { options_.keepPictureData = on; });
}

void CFileSaveAsDlg::setCurrentPicture(PictureRecord* picture) {
    current_ = picture;
    options_.setCurrentPicture(picture);
}

void CFileSaveAsDlg::setEntries(const QList<OutputEntry>& entries, bool searchResults) {
    entries_ = entries;
    searchResults_ = searchResults;
}

void CFileSaveAsDlg::forget() {
    setCurrentPicture(nullptr);
    entries_.clear();
    selections_ = {};
    pictures_->clear();
}

void CFileSaveAsDlg::prepare() {
    filling_ = true;
    opened_ = options_;

    pictures_->clear();
    overlayDateTime_->setChecked(false);
    overlayDateTime_->setEnabled(false);  // there is no overlay to make
    selections_ = FillPictureSelection(current_, entries_, searchResults_);
    for (const PictureSelectionItem& item : selections_.items) pictures_->addItem(item.text, int(item.selection));
    count_ = 0;
    single_ = true;
    if (pictures_->count() > 0) pictures_->setCurrentIndex(0);
    applySelection();

    quality_->setTickInterval(10);
    quality_->setSingleStep(10);
    quality_->setPageStep(10);
    quality_->setValue(options_.quality);
    qualityNumber_->setNum(options_.quality);

    saveAsPath_->setText(options_.saveAsPath);
    saveCropped_->setChecked(options_.saveCropped);
    originalDateTime_->setChecked(options_.useOriginalDateTime);
    size_->setCurrentIndex(std::clamp(options_.pictureSize, 0, saveas::kSizeRows - 1));
    ratio_->setCurrentIndex(std::clamp(options_.pictureRatio, 0, saveas::kRatioRows - 1));
    appendInfo_->setChecked(options_.appendInfo);
    keepPictureData_->setChecked(options_.keepPictureData);
    options_.refreshRowZero();
    updateOutputSize();

    const bool ownFolder = options_.mode == SaveAsMode::SendEmail || options_.mode == SaveAsMode::BurnCd;
    pictures_->setEnabled(options_.mode != SaveAsMode::DragAndDrop);
    saveAsPath_->setEnabled(options_.mode == SaveAsMode::SaveAs);
    browse_->setEnabled(options_.mode == SaveAsMode::SaveAs);
    setWindowTitle(titleFor(options_.mode));
    ok_->setText(okCaptionFor(options_.mode));
    switch (options_.mode) {
        case SaveAsMode::DragAndDrop: pictures_->addItem(kDragEntry, kNoSelection); break;
        case SaveAsMode::SendEmail: setWindowIcon(QIcon(QStringLiteral(":/output/email.png"))); break;
        case SaveAsMode::BurnCd: setWindowIcon(QIcon(QStringLiteral(":/output/cd.png"))); break;
        case SaveAsMode::SaveAs: break;
    }
    // E-mail and CD start on the first list of several pictures: the flagged ones, or else the event.
    if (ownFolder && pictures_->count() > 1) {
        pictures_->setCurrentIndex(1);
        applySelection();
    }
    progress_->setValue(progress_->minimum());
    // Each opening starts on the first control, whatever had the focus when it last closed.
    (pictures_->isEnabled() ? static_cast<QWidget*>(pictures_) : ok_)->setFocus();
    filling_ = false;
}

int CFileSaveAsDlg::exec() {
    prepare();
    return QDialog::exec();
}

PictureSelection CFileSaveAsDlg::selection() const {
    const int data = pictures_->currentData().toInt();
    return data == kNoSelection ? PictureSelection::Picture : PictureSelection(data);
}

QString CFileSaveAsDlg::selectionText() const { return pictures_->currentText(); }

QString CFileSaveAsDlg::outputSizeText() const { return outputSize_->text(); }

void CFileSaveAsDlg::applySelection() {
    const int index = pictures_->currentIndex();
    // Nothing chosen, or the drag entry: "# of Pics" keeps its value.
    if (index >= 0 && pictures_->itemData(index).toInt() != kNoSelection) {
        const auto chosen = PictureSelection(pictures_->itemData(index).toInt());
        count_ = selections_.countFor(chosen);
        single_ = chosen == PictureSelection::Picture;
    }
    countLabel_->setNum(count_);
    // A range of 0 to 0 would make the bar a busy indicator.
    progress_->setRange(0, std::max(count_, 1));
    progress_->setValue(0);
}

void CFileSaveAsDlg::updateOutputSize() { outputSize_->setText(options_.OutputSizeText()); }

void CFileSaveAsDlg::browse() {
    Prompter& prompter = frame_.prompter();
    const QString text = saveAsPath_->text();
    if (single_) {
        // One picture: a file name, offered in the folder the Save As text names.
        const QFileInfo typed(text);
        const QString folder = text.isEmpty() ? QString() : typed.isDir() ? text : typed.absolutePath();
        const QString name = current_ ? SuggestedFileName(current_->fileName()) : QString();
        QString path = prompter.saveFileName(QStringLiteral("Save As"),
                                             folder.isEmpty() ? name : QDir(folder).filePath(name), kJpgFilter);
        if (path.isEmpty()) return;  // cancelled
        path = QDir::fromNativeSeparators(path);
        if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".jpg");
        saveAsPath_->setText(path);
        saveAsPath_->setCursorPosition(int(path.size()));
        return;
    }
    const QString folder = prompter.existingDirectory(QStringLiteral("Open Directory"), text);
    if (folder.isEmpty()) return;  // cancelled
    if (!QFileInfo(folder).isDir()) {
        prompter.messageBox(QStringLiteral("Failed to get Directory"), QStringLiteral("Error"), mb::Ok | mb::IconStop);
        return;
    }
    QString path = QDir::fromNativeSeparators(folder);
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    saveAsPath_->setText(path);
    saveAsPath_->setCursorPosition(int(path.size()));
}

void CFileSaveAsDlg::accept() {
    if (options_.mode == SaveAsMode::DragAndDrop) {
        QDialog::accept();
        return;
    }
    QString outputFolder;
    if (hooks_.prepare && !hooks_.prepare(outputFolder)) return;

    SaveAsRequest request;
    request.current = current_;
    request.entries = entries_;
    request.selection = selection();
    request.selectionText = selectionText();
    request.outputFolder = outputFolder;

    SaveProgress progress;
    progress.status = [this](const QString& text, bool busy) { frame_.setStatusText(text, busy); };
    progress.step = [this](int done, int total) {
        progress_->setRange(0, std::max(total, 1));
        progress_->setValue(done);
        progress_->repaint();  // the work runs on this thread: show each step as it is done
    };
    progress_->setValue(0);
    // Disabling the focused button would hand the focus to Cancel, and the next Enter would cancel.
    QWidget* focused = focusWidget();
    ok_->setEnabled(false);
    const SaveAsResult result = RunSaveAs(options_, request, frame_.prompter(), progress);
    ok_->setEnabled(true);
    if (focused) focused->setFocus();

    saveAsPath_->setText(result.saveAsPath);
    if (!result.noPathGiven && hooks_.finish) hooks_.finish(result);
    if (result.closeDialog) QDialog::accept();
}

void CFileSaveAsDlg::reject() {
    options_ = opened_;
    QDialog::reject();
}
