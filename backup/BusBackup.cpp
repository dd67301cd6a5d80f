#include "backup/BusBackup.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

#include "device/SerialPort.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/ModulePage.h"

namespace odel::backup {

namespace {

constexpr const char* kFormat = "ODEL bus backup";
constexpr qint64 kMaxFile = 64 * 1024;

const QStringList& protocolNames() {
    static const QStringList names{"ASCII", "ASCII with checksum", "Modbus RTU"};
    return names;
}

const QStringList& statusNames() {
    static const QStringList names{"backed up", "without settings", "failed"};
    return names;
}

// "0A-7361.txt"; characters a file name should not hold become '_'.
QString fileNameFor(const QString& address, const QString& model) {
    QString name = address + "-" + model;
    static const QRegularExpression bad("[^A-Za-z0-9+._-]");
    name.replace(bad, "_");
    return name + ".txt";
}

bool plainFileName(const QString& name) {
    static const QRegularExpression re("^[A-Za-z0-9+_-][A-Za-z0-9+._-]*\\.txt$");
    return re.match(name).hasMatch();
}

bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
        f.flush())
        return true;
    if (error) *error = path + ": cannot be written";
    return false;
}

// key, value of "Key: value"; the whole line as key when it has no ": ".
std::pair<QString, QString> splitLine(const QByteArray& raw) {
    QByteArray line = raw;
    if (line.endsWith('\r')) line.chop(1);
    const QString text = QString::fromLatin1(line);
    const qsizetype colon = text.indexOf(": ");
    if (colon < 0) return {text, QString("")};
    return {text.left(colon), text.mid(colon + 2)};
}

QList<QByteArray> linesOf(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    return lines;
}

// What kept the page from reading the module as it shows it fresh. A module without fail-safe
// values refuses their query, and its page says so on every read: that alone is no failure.
QStringList readProblems(const PageHost& host, const CollectMessages& collect) {
    QStringList out;
    for (const QString& f : host.failures)
        if (f != "Fail to fresh Safety setting data!") out << f;
    return out + collect.problems();
}

}  // namespace

QByteArray BusListing(const QString& port, const QList<BusNode>& nodes) {
    QByteArray out = "PC\r\n\t" + port.toLatin1() + "\r\n";
    for (const BusNode& n : nodes) {
        out += "\t\t" + n.text.toLatin1() + "\r\n";
        for (const QString& s : n.slotTexts) out += "\t\t\t" + s.toLatin1() + "\r\n";
    }
    return out;
}

QString ProtocolName(int marker) {
    return protocolNames().value(marker, protocolNames().first());
}

QString StatusName(ModuleEntry::Status status) {
    return statusNames().value(static_cast<int>(status));
}

int BackupFolder::count(ModuleEntry::Status status) const {
    return static_cast<int>(std::count_if(modules.begin(), modules.end(),
                                          [status](const auto& m) { return m.status == status; }));
}

QString BackupFolder::summary() const {
    return QString("%1 backed up, %2 without settings, %3 failed")
        .arg(count(ModuleEntry::Status::BackedUp))
        .arg(count(ModuleEntry::Status::NoSettings))
        .arg(count(ModuleEntry::Status::Failed));
}

// ---- back up ----

BackupFolder BackUpBus(odel::SerialPort& link, const QString& port, const QList<BusNode>& nodes,
                       const Progress& progress) {
    BackupFolder b;
    b.date = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    b.port = port;
    b.listing = BusListing(port, nodes);
    for (const BusNode& node : nodes) {
        if (progress && !progress(static_cast<int>(b.modules.size()),
                                  static_cast<int>(nodes.size()), "Reading " + node.text + " ..."))
            break;
        ModuleEntry e;
        e.address = node.address();
        e.node = node.text;
        e.model = node.model();
        e.marker = node.marker;
        QByteArray settings;
        if (!link.IsOpen()) {
            e.reason = "the port was lost";
        } else {
            CollectMessages collect;
            PageHost host(link);
            QString why;
            if (!host.open(node, &why)) {
                e.reason = why;
            } else {
                e.firmware = host.firmware();
                const bool has = host.page()->HasSettingsFile();
                if (has) settings = host.page()->SettingsFile();
                const QStringList problems = readProblems(host, collect);
                if (!link.IsOpen())
                    e.reason = "the port was lost";
                else if (!problems.isEmpty())
                    e.reason = problems.first();
                else if (!has)
                    e.status = ModuleEntry::Status::NoSettings;
                else {
                    e.status = ModuleEntry::Status::BackedUp;
                    e.file = fileNameFor(e.address, e.model);
                }
            }
        }
        if (e.status != ModuleEntry::Status::BackedUp) settings.clear();
        b.modules << e;
        b.files << settings;
    }
    return b;
}

bool WriteBackupFolder(const QString& dir, const BackupFolder& b, QString* error) {
    QDir d(dir);
    if (!QDir().mkpath(dir)) {
        if (error) *error = dir + ": the folder cannot be created";
        return false;
    }
    if (!d.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        if (error) *error = dir + ": the folder is not empty";
        return false;
    }
    if (!writeFile(d.filePath("bus.txt"), b.listing, error)) return false;
    QJsonArray modules;
    for (qsizetype i = 0; i < b.modules.size(); ++i) {
        const ModuleEntry& e = b.modules[i];
        QJsonObject m{{"address", e.address},
                      {"node", e.node},
                      {"model", e.model},
                      {"protocol", ProtocolName(e.marker)},
                      {"firmware", e.firmware},
                      {"status", StatusName(e.status)}};
        if (!e.file.isEmpty()) m["file"] = e.file;
        if (!e.reason.isEmpty()) m["reason"] = e.reason;
        modules.append(m);
        if (!e.file.isEmpty() && !writeFile(d.filePath(e.file), b.files.value(i), error))
            return false;
    }
    const QJsonObject root{{"format", kFormat}, {"version", 1},       {"date", b.date},
                           {"port", b.port},    {"modules", modules}};
    return writeFile(d.filePath("backup.json"), QJsonDocument(root).toJson(), error);
}

bool ReadBackupFolder(const QString& dir, BackupFolder& b, QString* error) {
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    QDir d(dir);
    if (!d.exists()) return fail(dir + ": no such folder");
    const QString jsonPath = d.filePath("backup.json");
    QFile jf(jsonPath);
    if (!jf.exists()) return fail(dir + " is not a bus backup: it has no backup.json");
    if (!jf.open(QIODevice::ReadOnly)) return fail(jsonPath + ": cannot be read");
    const QByteArray json = jf.read(16 * 1024 * 1024);
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        const int line = static_cast<int>(json.left(pe.offset).count('\n')) + 1;
        return fail(QString("%1 line %2: %3").arg(jsonPath).arg(line).arg(pe.errorString()));
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value("format").toString() != kFormat ||
        !root.value("modules").isArray())
        return fail(jsonPath + " is not a bus backup");
    b = BackupFolder{};
    b.date = root.value("date").toString();
    b.port = root.value("port").toString();
    const QJsonArray modules = root.value("modules").toArray();
    if (modules.isEmpty()) return fail(jsonPath + " lists no modules");
    static const QRegularExpression hex2("^[0-9A-F]{2}$");
    int n = 0;
    for (const QJsonValue& v : modules) {
        ++n;
        const QJsonObject m = v.toObject();
        const auto bad = [&](const QString& what) {
            return fail(QString("%1: module %2: %3").arg(jsonPath).arg(n).arg(what));
        };
        ModuleEntry e;
        e.address = m.value("address").toString();
        e.node = m.value("node").toString();
        e.model = m.value("model").toString();
        e.firmware = m.value("firmware").toString();
        e.file = m.value("file").toString();
        e.reason = m.value("reason").toString();
        e.marker = static_cast<int>(protocolNames().indexOf(m.value("protocol").toString()));
        const auto status = statusNames().indexOf(m.value("status").toString());
        if (!v.isObject() || !hex2.match(e.address).hasMatch()) return bad("no address");
        if (e.model.isEmpty() || BusNode{e.node, 0, {}}.model() != e.model ||
            BusNode{e.node, 0, {}}.address() != e.address)
            return bad("no model, or a node text that does not name it");
        if (e.marker < 0) return bad("unknown protocol");
        if (status < 0) return bad("unknown status");
        e.status = static_cast<ModuleEntry::Status>(status);
        if (e.status == ModuleEntry::Status::BackedUp && !plainFileName(e.file))
            return bad("no settings file name");
        QByteArray content;
        if (e.status == ModuleEntry::Status::BackedUp) {
            QFile f(d.filePath(e.file));
            if (f.open(QIODevice::ReadOnly))
                content = f.read(kMaxFile + 1);
            else
                e.reason = e.file + ": the file is missing";
        }
        b.modules << e;
        b.files << content;
    }
    QFile lf(d.filePath("bus.txt"));
    if (lf.open(QIODevice::ReadOnly)) b.listing = lf.read(kMaxFile);
    return true;
}

// ---- compare ----

QString StateName(ModuleComparison::State state) {
    using S = ModuleComparison::State;
    switch (state) {
        case S::Same:
            return "No differences";
        case S::Different:
            return "differs";
        case S::Missing:
            return "missing";
        case S::New:
            return "new";
        case S::OtherModel:
            return "other model";
        case S::NoSettings:
            return "without settings";
        case S::NotRead:
            return "not read";
        case S::BadBackup:
            return "bad backup file";
    }
    return {};
}

QList<LineDifference> DiffSettings(const QByteArray& backup, const QByteArray& current) {
    // Lines keyed by key and occurrence, in the backup's order, then the current-only ones.
    auto keyed = [](const QByteArray& text) {
        std::vector<std::pair<QString, QString>> out;  // (key#n, value)
        QMap<QString, int> seen;
        for (const QByteArray& l : linesOf(text)) {
            const auto [key, value] = splitLine(l);
            out.emplace_back(key + "#" + QString::number(seen[key]++), value);
        }
        return out;
    };
    const auto a = keyed(backup);
    const auto b = keyed(current);
    auto find = [](const auto& list, const QString& k) -> const QString* {
        for (const auto& [key, value] : list)
            if (key == k) return &value;
        return nullptr;
    };
    auto plainKey = [](const QString& k) { return k.left(k.lastIndexOf('#')); };
    QList<LineDifference> out;
    for (const auto& [key, value] : a) {
        const QString* now = find(b, key);
        if (!now)
            out << LineDifference{plainKey(key), value, QString()};
        else if (*now != value)
            out << LineDifference{plainKey(key), value, *now};
    }
    for (const auto& [key, value] : b)
        if (!find(a, key)) out << LineDifference{plainKey(key), QString(), value};
    return out;
}

QList<ModuleComparison> CompareBus(odel::SerialPort& link, const BackupFolder& backup,
                                   const QList<BusNode>& nodes, const Progress& progress) {
    using S = ModuleComparison::State;
    QMap<QString, int> inBackup;
    for (qsizetype i = 0; i < backup.modules.size(); ++i)
        inBackup.insert(backup.modules[i].address, static_cast<int>(i));
    QMap<QString, BusNode> onBus;
    for (const BusNode& n : nodes) onBus.insert(n.address(), n);
    QStringList addresses = inBackup.keys() + onBus.keys();
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());

    QList<ModuleComparison> out;
    for (const QString& address : addresses) {
        ModuleComparison c;
        c.address = address;
        const bool backedUp = inBackup.contains(address);
        const int i = inBackup.value(address, -1);
        if (backedUp) {
            const ModuleEntry& e = backup.modules[i];
            c.model = e.model;
            c.file = e.file;
            c.backupFile = backup.files.value(i);
        }
        if (!onBus.contains(address)) {
            c.state = S::Missing;
            out << c;
            continue;
        }
        c.node = onBus.value(address);
        c.currentModel = c.node.model();
        if (!backedUp) {
            c.state = S::New;
            c.model = c.currentModel;
            out << c;
            continue;
        }
        if (c.currentModel != c.model) {
            c.state = S::OtherModel;
            out << c;
            continue;
        }
        if (progress && !progress(static_cast<int>(out.size()), static_cast<int>(addresses.size()),
                                  "Reading " + c.node.text + " ..."))
            break;
        const ModuleEntry& e = backup.modules[i];
        CollectMessages collect;
        PageHost host(link);
        QString why;
        if (!host.open(c.node, &why)) {
            const bool other = !host.answeredModel().isEmpty();
            c.state = other ? S::OtherModel : S::NotRead;
            if (other) c.currentModel = host.answeredModel();
            c.reason = why;
        } else if (!host.page()->HasSettingsFile()) {
            c.state = S::NoSettings;
        } else {
            c.currentFile = host.page()->SettingsFile();
            const QStringList problems = readProblems(host, collect);
            odel::ui::ConfError bad;
            if (!problems.isEmpty()) {
                c.state = S::NotRead;
                c.reason = problems.first();
            } else if (e.status != ModuleEntry::Status::BackedUp) {
                c.state = S::NotRead;
                c.reason = "not in the backup: " + e.reason;
            } else if (!e.reason.isEmpty()) {
                c.state = S::BadBackup;
                c.reason = e.reason;
            } else if (!host.page()->CheckSettingsFile(c.backupFile, &bad)) {
                c.state = S::BadBackup;
                c.reason = QString("%1 line %2: %3").arg(e.file).arg(bad.line).arg(bad.text);
            } else {
                c.lines = DiffSettings(c.backupFile, c.currentFile);
                c.state = c.lines.isEmpty() ? S::Same : S::Different;
            }
        }
        out << c;
    }
    return out;
}

bool NoDifferences(const QList<ModuleComparison>& comparison) {
    return std::all_of(comparison.begin(), comparison.end(), [](const ModuleComparison& c) {
        return c.state == ModuleComparison::State::Same ||
               c.state == ModuleComparison::State::NoSettings;
    });
}

// ---- restore ----

QString ResultName(RestoreOutcome::Result result) {
    static const QStringList names{"restored", "skipped", "failed", "not done"};
    return names.value(static_cast<int>(result));
}

bool Restorable(const ModuleComparison& c, QString* whyNot) {
    using S = ModuleComparison::State;
    QString why;
    switch (c.state) {
        case S::Same:
        case S::Different:
            // In INIT state its page refuses the Update until an address is typed, so the file
            // would be half loaded; the page, where the address is chosen, can load it.
            if (c.node.addressText() != "*") return true;
            why = "in INIT state: load its file from its page after choosing its address";
            break;
        case S::Missing:
            why = "no module answers at " + c.address;
            break;
        case S::New:
            why = "not in the backup";
            break;
        case S::OtherModel:
            why = QString("a %1 answers at %2, the backup holds a %3: never written")
                      .arg(c.currentModel, c.address, c.model);
            break;
        case S::NoSettings:
            why = c.model + " has no settings file";
            break;
        case S::NotRead:
            why = c.reason;
            break;
        case S::BadBackup:
            why = c.reason + "; nothing restored from this file";
            break;
    }
    if (whyNot) *whyNot = why;
    return false;
}

QList<RestoreOutcome> RestoreBus(odel::SerialPort& link, const QList<ModuleComparison>& plan,
                                 const QSet<QString>& addresses, const Progress& progress) {
    using R = RestoreOutcome::Result;
    QList<RestoreOutcome> out;
    int total = 0;
    for (const ModuleComparison& c : plan) total += addresses.contains(c.address) ? 1 : 0;
    bool lost = false, stopped = false;
    for (const ModuleComparison& c : plan) {
        if (!addresses.contains(c.address)) continue;
        RestoreOutcome o{c.address, c.model, R::Skipped, {}, {}};
        QString why;
        if (lost || !link.IsOpen()) {
            lost = true;
            o.result = R::NotDone;
            o.reason = "the port was lost before this module";
        } else if (!Restorable(c, &why)) {
            o.reason = why;
        } else if (stopped || (progress && !progress(static_cast<int>(out.size()), total,
                                                     "Restoring " + c.node.text + " ..."))) {
            stopped = true;
            o.result = R::NotDone;
            o.reason = "stopped before this module";
        } else {
            CollectMessages collect;
            PageHost host(link);
            if (!host.open(c.node, &why)) {
                const bool other = !host.answeredModel().isEmpty();
                o.result = other ? R::Skipped : R::Failed;
                o.reason = other ? QString("a %1 answers at %2, the backup holds a %3: never written")
                                       .arg(host.answeredModel(), c.address, c.model)
                                 : why;
            } else {
                // Messages by the step that gave them: a step starts at its first message.
                std::vector<std::pair<qsizetype, QString>> steps;
                QString lostDuring;  // the step after which the port was first seen gone
                odel::ui::ConfError bad;
                const bool loaded = host.page()->DownloadSettingsFile(
                    c.backupFile, &bad, [&](int n, const QString& after) {
                        if (!link.IsOpen() && lostDuring.isEmpty() && !steps.empty())
                            lostDuring = steps.back().second;
                        steps.emplace_back(static_cast<qsizetype>(collect.messages.size()),
                                           QString("Update %1 (after \"%2\")").arg(n).arg(after));
                    });
                host.stopTimers();
                QString failedStep, failedText;
                for (qsizetype i = 0; i < static_cast<qsizetype>(collect.messages.size()); ++i) {
                    const auto& m = collect.messages[static_cast<std::size_t>(i)];
                    o.messages << m.kind + ": " + m.text;
                    if (failedText.isEmpty() && (m.kind == "error" || m.kind == "warning")) {
                        failedText = m.text;
                        for (const auto& [start, name] : steps)
                            if (start <= i) failedStep = name;
                    }
                }
                if (lostDuring.isEmpty() && !steps.empty()) lostDuring = steps.back().second;
                if (!loaded) {
                    o.reason = QString("%1 line %2: %3; nothing written")
                                   .arg(c.file)
                                   .arg(bad.line)
                                   .arg(bad.text);
                } else if (!link.IsOpen()) {
                    lost = true;
                    o.result = R::Failed;
                    o.reason = "the port was lost during " + lostDuring +
                               ": the module may be half-written";
                } else if (!failedText.isEmpty()) {
                    o.result = R::Failed;
                    o.reason = (failedStep.isEmpty() ? QString("loading") : failedStep) + ": " +
                               failedText;
                } else {
                    o.result = R::Restored;
                    // Read back as a fresh page would: what the download did not bring back.
                    PageHost check(link);
                    if (check.open(c.node, &why) && check.page()->HasSettingsFile()) {
                        QStringList keys;
                        for (const auto& d : DiffSettings(c.backupFile, check.page()->SettingsFile()))
                            keys << d.key;
                        if (!keys.isEmpty()) o.reason = "still different: " + keys.join(", ");
                    } else {
                        o.reason = "not read back: " + why;
                    }
                }
            }
        }
        out << o;
    }
    return out;
}

// ---- unified diff ----

QByteArray UnifiedDiff(const QByteArray& textA, const QByteArray& textB, const QString& nameA,
                       const QString& nameB) {
    const QList<QByteArray> a = linesOf(textA);
    const QList<QByteArray> b = linesOf(textB);
    const auto n = static_cast<std::size_t>(a.size());
    const auto m = static_cast<std::size_t>(b.size());
    // Longest common subsequence table, then the edit script from the front.
    std::vector<std::vector<int>> lcs(n + 1, std::vector<int>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            lcs[i][j] = a[static_cast<qsizetype>(i)] == b[static_cast<qsizetype>(j)]
                            ? lcs[i + 1][j + 1] + 1
                            : std::max(lcs[i + 1][j], lcs[i][j + 1]);
    struct Op {
        char kind;  // ' ', '-', '+'
        std::size_t i, j;
    };
    std::vector<Op> ops;
    std::size_t i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[static_cast<qsizetype>(i)] == b[static_cast<qsizetype>(j)]) {
            ops.push_back({' ', i++, j++});
        } else if (j < m && (i == n || lcs[i][j + 1] > lcs[i + 1][j])) {
            ops.push_back({'+', i, j++});
        } else {
            ops.push_back({'-', i++, j});
        }
    }
    constexpr std::size_t kContext = 3;
    QByteArray out;
    std::size_t k = 0;
    while (k < ops.size()) {
        if (ops[k].kind == ' ') {
            ++k;
            continue;
        }
        // A hunk: from kContext lines before this change to kContext lines after the last
        // change that follows within 2 * kContext unchanged lines.
        const std::size_t start = k > kContext ? k - kContext : 0;
        std::size_t end = k;
        std::size_t p = k;
        while (p < ops.size()) {
            if (ops[p].kind != ' ') {
                end = p;
                ++p;
                continue;
            }
            std::size_t q = p;
            while (q < ops.size() && ops[q].kind == ' ') ++q;
            if (q == ops.size() || q - p > 2 * kContext) break;
            p = q;
        }
        const std::size_t stop = std::min(ops.size(), end + 1 + kContext);
        std::size_t lenA = 0, lenB = 0;
        for (std::size_t x = start; x < stop; ++x) {
            if (ops[x].kind != '+') ++lenA;
            if (ops[x].kind != '-') ++lenB;
        }
        if (out.isEmpty()) out += "--- " + nameA.toUtf8() + "\n+++ " + nameB.toUtf8() + "\n";
        const auto from = [](std::size_t first, std::size_t len) {
            return QByteArray::number(static_cast<qulonglong>(len ? first + 1 : first)) + "," +
                   QByteArray::number(static_cast<qulonglong>(len));
        };
        out += "@@ -" + from(ops[start].i, lenA) + " +" + from(ops[start].j, lenB) + " @@\n";
        for (std::size_t x = start; x < stop; ++x) {
            const QByteArray& line = ops[x].kind == '+' ? b[static_cast<qsizetype>(ops[x].j)]
                                                        : a[static_cast<qsizetype>(ops[x].i)];
            out += ops[x].kind + line + "\n";
        }
        k = stop;
    }
    return out;
}

}  // namespace odel::backup
