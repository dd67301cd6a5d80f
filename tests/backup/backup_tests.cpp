// Backing up a bus: every settings file is the one its page saves, the folder's files, the
// summary, and modules that fail.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QTreeWidget>

#include "BackupFixture.h"
#include "common/RecordingDialogs.h"
#include "pages/Dispatch.h"
#include "pages/PageRegistry.h"
#include "pages/frame/ModulePage.h"
#include "pages/frame/StatusPanels.h"

using namespace odel::test;
using namespace odel::backup;
namespace defaultbus = odel::sim::defaultbus;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

// What the page saves when the main window opens it on the node and Save is chosen.
QByteArray savedByPage(odel::SerialPort& link, const BusNode& node, const QString& file) {
    RecordingDialogs dialogs;
    QTreeWidget tree;
    auto* item = new QTreeWidgetItem(new QTreeWidgetItem(&tree, QStringList{"port"}),
                                     QStringList{node.text});
    tree.setCurrentItem(item);
    odel::ui::StatusPanels panels;
    const QString pageClass = odel::ui::PageClassFor(node.model(), node.marker);
    link.SetChecksum(node.marker != 0 ? 1 : 0);
    std::unique_ptr<odel::ui::ModulePage> page(odel::ui::FindPage(pageClass)(nullptr));
    page->InitModule(&link, node.addressText(), &panels, &tree);
    for (QTimer* t : page->findChildren<QTimer*>()) t->stop();
    dialogs.fileAnswers.push_back(file);
    page->SaveConfiguration();
    return readFile(file);
}

TEST_F(BackupTest, EverySettingsFileIsTheOneItsPageSaves) {
    startDefaultBus();
    const QList<BusNode> nodes = search(0, defaultbus::k7396Modbus);
    const BackupFolder b = BackUpBus(*link, "/dev/ttySIM", nodes);
    ASSERT_EQ(b.modules.size(), nodes.size());
    QStringList backedUp;
    for (qsizetype i = 0; i < b.modules.size(); ++i) {
        const ModuleEntry& e = b.modules[i];
        SCOPED_TRACE(e.node.toStdString());
        if (e.status != ModuleEntry::Status::BackedUp) continue;
        backedUp << odel::ui::PageClassFor(e.model, e.marker);
        EXPECT_EQ(e.file, e.address + "-" + e.model + ".txt");
        const QByteArray page = savedByPage(*link, nodes[i], dir.filePath("page.txt"));
        EXPECT_FALSE(page.isEmpty());
        EXPECT_EQ(b.files[i], page);
    }
    backedUp.removeDuplicates();
    backedUp.sort();
    // The 22 page classes with settings files (7354 appears twice on the bus, once in INIT).
    EXPECT_EQ(backedUp.join(" "),
              "TfrmM7320 TfrmM7320L TfrmM7341 TfrmM7341L TfrmM7342 TfrmM7345 TfrmM7347 "
              "TfrmM7347K TfrmM7349 TfrmM7352 TfrmM7352R TfrmM7354 TfrmM7354R TfrmM7356 "
              "TfrmM7361 TfrmM7380 TfrmM7381 TfrmM7382 TfrmM7383 TfrmM7385 TfrmM7390 "
              "TfrmM7396");
    EXPECT_EQ(b.summary(), "24 backed up, 11 without settings, 0 failed");
}

TEST_F(BackupTest, FolderHoldsListingFilesAndIndex) {
    auto withChecksum = module("7354R", 0x02);
    withChecksum.format |= 0x40;
    startBus({module("7352", 0x01), withChecksum, module("7385", 0x03), module("7364", 0x04)});
    bus.modify(2, [](odel::sim::ModuleState& m) { m.format |= 0x04; });  // 7385 in Modbus mode
    const QList<BusNode> nodes = search(0, 5);
    ASSERT_EQ(nodes.size(), 4);
    bus.setFault(3, odel::sim::Fault::NoReply);  // the 7364 stops answering after the search
    const BackupFolder b = BackUpBus(*link, "/dev/ttySIM", nodes);
    const QString folder = dir.filePath("bk");
    QString error;
    ASSERT_TRUE(WriteBackupFolder(folder, b, &error)) << error.toStdString();
    EXPECT_EQ(readFile(folder + "/bus.txt"),
              "PC\r\n\t/dev/ttySIM\r\n\t\t(01)7352\r\n\t\t(02)7354R\r\n\t\t(03)7385\r\n"
              "\t\t(04)7364\r\n");
    EXPECT_EQ(readFile(folder + "/01-7352.txt"), b.files[0]);
    EXPECT_TRUE(readFile(folder + "/02-7354R.txt").contains("checkSum: 0\n"));
    EXPECT_FALSE(QFile::exists(folder + "/03-7385.txt"));
    const QJsonObject json = QJsonDocument::fromJson(readFile(folder + "/backup.json")).object();
    EXPECT_EQ(json["port"].toString(), "/dev/ttySIM");
    EXPECT_FALSE(json["date"].toString().isEmpty());
    QStringList rows;
    for (const QJsonValue& v : json["modules"].toArray()) {
        const QJsonObject m = v.toObject();
        rows << QStringList{m["address"].toString(), m["model"].toString(),
                            m["protocol"].toString(), m["firmware"].toString(),
                            m["file"].toString(), m["status"].toString(), m["reason"].toString()}
                    .join("|");
    }
    EXPECT_EQ(rows, (QStringList{"01|7352|ASCII|A1.20|01-7352.txt|backed up|",
                                 "02|7354R|ASCII with checksum|A1.20|02-7354R.txt|backed up|",
                                 "03|7385|Modbus RTU|01.20||without settings|",
                                 "04|7364|ASCII|||failed|no answer"}));
    EXPECT_EQ(b.summary(), "2 backed up, 1 without settings, 1 failed");
    // A second backup never mixes into the first.
    EXPECT_FALSE(WriteBackupFolder(folder, b, &error));
    EXPECT_EQ(error, folder + ": the folder is not empty");
}

}  // namespace
