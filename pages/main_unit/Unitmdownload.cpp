#include "pages/main_unit/Unitmdownload.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "device/SerialPort.h"
#include "pages/frame/DataFolder.h"
#include "pages/frame/Pause.h"
#include "pages/main_unit/DownloadAnimation.h"

namespace odel::ui {

namespace {
constexpr int kDownloadTimeoutMs = 10;
constexpr int kReplyLimit = 64;
const QString kLoaderPhase = "Loader";
const QString kStartingPhase = "Starting loader";
const QString kFirmwarePhase = "Firmware";
const QString kRunning = " — do not disconnect";
}  // namespace

TfrmMDownload::TfrmMDownload(QWidget* parent) : QDialog(parent) {
    setObjectName("frmMDownload");
    setWindowTitle("ODEL-8600 firmware downloading...");
    setModal(true);
    auto* box = new QVBoxLayout(this);
    Animate1 = new DownloadAnimation(this);
    Animate1->setObjectName("Animate1");
    box->addWidget(Animate1, 0, Qt::AlignHCenter);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(ProgressBar1, 1);
    lblPhase = new QLabel(this);
    lblPhase->setObjectName("lblPhase");
    // As wide as its longest text, so that the bar keeps its length from phase to phase.
    int width = 0;
    for (const QString& phase : {kLoaderPhase, kStartingPhase, kFirmwarePhase})
        width = std::max(width, lblPhase->fontMetrics().horizontalAdvance(phase + kRunning));
    lblPhase->setMinimumWidth(width);
    barRow->addWidget(lblPhase);
    box->addLayout(barRow);
    lblPercent = new QLabel("0.0%", this);
    lblPercent->setObjectName("lblPercent");
    box->addWidget(lblPercent, 0, Qt::AlignHCenter);
    lblFileSize = new QLabel(this);
    lblFileSize->setObjectName("lblFileSize");
    box->addWidget(lblFileSize);
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TfrmMDownload::Timer1Timer);
    setMinimumWidth(520);

    const QString picture = FindProgramFile("filemove.svg");
    if (!picture.isEmpty()) Animate1->setFileName(picture);
}

TfrmMDownload::~TfrmMDownload() = default;

void TfrmMDownload::SetupDownload(odel::SerialPort* link, const QString& moduleName,
                                  const QString& firmwareFile, const QString& firmwareVersion) {
    link_ = link;
    firmwareFile_ = firmwareFile;
    // The version is compared byte by byte as text ("A10.00" counts as lower than "A2.00").
    if (moduleName == "8600") {
        const bool newer = firmwareVersion.toStdString() > std::string("A2.00");
        loaderFile_ = newer ? "Dnmini_h.img" : "Download.img";
        loaderBlocks_ = newer ? 32 : 166;
    } else {
        loaderFile_ = "Dnmini_e.img";
        loaderBlocks_ = 32;
    }
    const QFileInfo info(firmwareFile);
    QString size = QString("Firmware file: %1 bytes").arg(info.exists() ? info.size() : 0);
    if (info.size() > qint64(kFirmwareBlocks) * kBlockSize)
        size += QString(" (only the first %1 bytes are sent)").arg(kFirmwareBlocks * kBlockSize);
    lblFileSize->setText(size);
}

void TfrmMDownload::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Start after the dialog is on screen; the guard in Download keeps it to one run.
    if (!started_) QTimer::singleShot(0, this, &TfrmMDownload::FormActivate);
}

void TfrmMDownload::FormActivate() {
    if (!started_) Download();
}

void TfrmMDownload::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmMDownload::reject() {
    if (!running_) QDialog::reject();
}

void TfrmMDownload::Timer1Timer() {
    Timer1->stop();
    accept();
}

int TfrmMDownload::loadFiles(QByteArray& loader, QByteArray& firmware) {
    // The user's folder first, then the installed one; never a path relative to the working
    // directory.
    loaderPath_ = FindProgramFile(loaderFile_);
    if (loaderPath_.isEmpty()) {
        const QStringList folders = ProgramFolders();
        reason_ = folders.isEmpty()
                      ? QString("%1 was not found: there is no program folder").arg(loaderFile_)
                      : QString("%1 was not found in %2").arg(loaderFile_, folders.join(", "));
        return LoaderFailed;
    }
    QFile l(loaderPath_);
    if (!l.open(QIODevice::ReadOnly)) {
        reason_ = QString("%1 cannot be read: %2").arg(loaderPath_, l.errorString());
        return LoaderFailed;
    }
    loader = l.read(qint64(loaderBlocks_) * kBlockSize);
    // Every one of its blocks must hold data; a short last block is padded.
    if (loader.size() <= (loaderBlocks_ - 1) * kBlockSize) {
        reason_ = QString("the loader %1 must hold more than %2 bytes; it has %3")
                      .arg(loaderPath_)
                      .arg((loaderBlocks_ - 1) * kBlockSize)
                      .arg(loader.size());
        return LoaderFailed;
    }
    QFile f(firmwareFile_);
    if (!f.open(QIODevice::ReadOnly)) {
        reason_ = QString("%1 cannot be read: %2").arg(firmwareFile_, f.errorString());
        return FirmwareFailed;
    }
    firmware = f.read(qint64(kFirmwareBlocks) * kBlockSize);
    if (firmware.size() < kFirmwareBlocks * kBlockSize) {
        reason_ = QString("the image must hold at least %1 bytes; this file has %2")
                      .arg(kFirmwareBlocks * kBlockSize)
                      .arg(f.size());
        return FirmwareFailed;
    }
    return Done;
}

int TfrmMDownload::Download() {
    if (started_) return result_;
    started_ = true;
    running_ = true;
    QByteArray loader, firmware;
    result_ = link_ ? loadFiles(loader, firmware) : StartFailed;
    if (result_ == Done) {
        const int timeout = link_->GetTimeout();
        link_->SetTimeout(kDownloadTimeoutMs);
        Animate1->start();
        setPhase(kLoaderPhase, true);
        if (!SendWithRetry("$00D\r")) result_ = StartFailed;
        if (result_ == Done && !SwitchLoaderBaud()) result_ = BaudFailed;
        if (result_ == Done && !SendWithRetry("&00A\r")) result_ = AckFailed;
        if (result_ == Done && !SendImage(loaderPath_, loader, loaderBlocks_))
            result_ = LoaderFailed;
        if (result_ == Done) {
            link_->FlushInput();
            link_->WriteText("&00E\r");
            // The bar turns to the firmware to come while the loader starts.
            ProgressBar1->setRange(0, kFirmwareBlocks);
            ProgressBar1->setValue(0);
            lblPercent->setText("0%");
            setPhase(kStartingPhase, true);
        }
        pause(3000);  // the loader starts what it received
        if (result_ == Done) setPhase(kFirmwarePhase, true);
        if (result_ == Done && !SendWithRetry("&00A\r")) result_ = AckFailed;
        if (result_ == Done && !SwitchLoaderBaud()) result_ = BaudFailed;
        if (result_ == Done && !SendImage(firmwareFile_, firmware, kFirmwareBlocks))
            result_ = FirmwareFailed;
        if (result_ == Done) {
            link_->FlushInput();
            link_->WriteText("&00E\r");
        }
        Animate1->stop();
        link_->SetTimeout(timeout);
    }
    setPhase(result_ == Done ? "Done" : "Failed", false);
    running_ = false;
    Timer1->start();
    return result_;
}

QByteArray TfrmMDownload::readReply() {
    QByteArray got;
    std::uint8_t b = 0;
    while (got.size() < kReplyLimit && link_->ReadBytes(1, &b)) {
        got.append(static_cast<char>(b));
        if (b == '\r') break;
    }
    return got;
}

void TfrmMDownload::drain() {
    std::uint8_t b = 0;
    for (int n = 0; n < 4096 && link_->ReadBytes(1, &b); ++n) {
    }
}

bool TfrmMDownload::SendWithRetry(const char* command) {
    for (int attempt = 0; attempt < 6; ++attempt) {
        link_->FlushInput();
        bool ok = link_->WriteText(command);
        pause(5);
        if (ok) {
            const QByteArray reply = readReply();
            ok = !reply.isEmpty() && reply[0] == '!';
        }
        pause(20);
        if (ok) return true;
    }
    return false;
}

bool TfrmMDownload::SwitchLoaderBaud() {
    link_->FlushInput();
    if (!link_->WriteText("&00S1\r")) return false;
    pause(1000);
    drain();
    link_->SetLineSettings(9600, 8, 0, 0);
    link_->FlushInput();
    link_->WriteText("&00S1\r");
    pause(1000);
    const QByteArray reply = readReply();
    return !reply.isEmpty() && reply[0] == '!';
}

void TfrmMDownload::setPhase(const QString& phase, bool running) {
    lblPhase->setText(running ? phase + kRunning : phase);
}

bool TfrmMDownload::SendImage(const QString& path, const QByteArray& data, int blocks) {
    setWindowTitle("Downloading " + path);
    ProgressBar1->setRange(0, blocks);
    ProgressBar1->setValue(0);
    for (int i = 0; i < blocks; ++i) {
        const QByteArray chunk = data.mid(qsizetype(i) * kBlockSize, kBlockSize);
        if (chunk.isEmpty()) return false;
        std::uint8_t block[132] = {};
        block[0] = static_cast<std::uint8_t>(i >> 8);
        block[1] = static_cast<std::uint8_t>(i & 0xFF);
        unsigned sum = block[0] + block[1];
        for (qsizetype k = 0; k < chunk.size(); ++k) {
            block[2 + k] = static_cast<std::uint8_t>(chunk[k]);
            sum += block[2 + k];
        }
        block[130] = static_cast<std::uint8_t>(sum & 0xFF);
        block[131] = '\r';
        bool accepted = false;
        for (int attempt = 0; attempt < 10 && !accepted; ++attempt) {
            pause(1);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            // The block goes out only after its announcement was acknowledged.
            if (!SendWithRetry("&00D\r")) continue;
            link_->FlushInput();
            if (!link_->WriteBytes(sizeof block, block)) continue;
            pause(30);
            const QByteArray reply = readReply();
            accepted = !reply.isEmpty() && reply[0] == '!';
        }
        // A block refused ten times ends the transfer as failed.
        if (!accepted) {
            reason_ = QString("block %1 of %2 was not taken after ten tries").arg(i).arg(blocks);
            return false;
        }
        ProgressBar1->setValue(i + 1);
        lblPercent->setText(QString("%1%").arg((i + 1) * 100 / blocks));
    }
    return true;
}

}  // namespace odel::ui
