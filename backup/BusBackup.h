// Whole-bus backup, compare and restore: one folder with the port's tree listing (bus.txt),
// every module's settings file as its page saves it (AA-MODEL.txt) and backup.json. The window
// and odelctl both run these functions; the pages themselves read and write the modules.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

#include "backup/PageHost.h"

namespace odel {
class SerialPort;
}

namespace odel::backup {

// "PC", the port and its nodes, one TAB per level, each line ended by CR LF.
QByteArray BusListing(const QString& port, const QList<BusNode>& nodes);

// One module as backup.json lists it.
struct ModuleEntry {
    enum class Status { BackedUp, NoSettings, Failed };
    QString address;  // two hex digits, "00" for a module in INIT state
    QString node;     // the tree text, "(0A)7361"
    QString model;
    int marker = 0;
    QString firmware;
    QString file;  // "0A-7361.txt" when backed up
    Status status = Status::Failed;
    QString reason;  // why it failed
};
QString ProtocolName(int marker);
QString StatusName(ModuleEntry::Status status);

// A backup folder's content.
struct BackupFolder {
    QString date;  // ISO 8601, UTC
    QString port;
    QByteArray listing;              // bus.txt
    QList<ModuleEntry> modules;      // in bus order
    QList<QByteArray> files;         // settings file of modules[i], empty without one
    int count(ModuleEntry::Status status) const;
    // "N backed up, M without settings, K failed"
    QString summary() const;
};

// Told before each module: how many modules are done, of how many, and which comes next.
// Returning false stops the run there, between two modules, never inside one.
using Progress = std::function<bool(int done, int total, const QString& text)>;

// Reads every node's module as its page shows it fresh: the settings file it would save (for
// the families that have one), the firmware version, or why it could not. A stopped run
// returns the modules read so far.
BackupFolder BackUpBus(odel::SerialPort& link, const QString& port, const QList<BusNode>& nodes,
                       const Progress& progress = {});

// Writes the folder (created when missing; it must be empty). False with a message.
bool WriteBackupFolder(const QString& dir, const BackupFolder& backup, QString* error);
// Reads a folder written by WriteBackupFolder. A module file that is missing or cannot be
// read is left empty here; comparing and restoring say so for that module.
bool ReadBackupFolder(const QString& dir, BackupFolder& backup, QString* error);

// One line that differs: its key, the value in the backup and now (null when absent).
struct LineDifference {
    QString key;
    QString backup;
    QString current;
};

struct ModuleComparison {
    enum class State {
        Same,        // "No differences"
        Different,   // lines differ
        Missing,     // in the backup, nothing answers at its address now
        New,         // answers now, not in the backup
        OtherModel,  // another model answers at the backed-up address
        NoSettings,  // a model without settings file (nothing to compare)
        NotRead,     // the backup or the module could not be read (reason)
        BadBackup,   // the backup's file is refused by the page (reason names file and line)
    };
    State state = State::Same;
    QString address;
    QString model;         // as in the backup (for New: as now)
    QString currentModel;  // as it answers now
    BusNode node;          // the node on the bus now (not for Missing)
    QString file;
    QByteArray backupFile;
    QByteArray currentFile;
    QList<LineDifference> lines;
    QString reason;
};
QString StateName(ModuleComparison::State state);

// The lines of two settings files that differ, by key (a key repeated counts by occurrence).
QList<LineDifference> DiffSettings(const QByteArray& backup, const QByteArray& current);

// Reads the current settings the way the backup did and compares them, module by module, in
// address order. nodes are the modules on the bus now.
QList<ModuleComparison> CompareBus(odel::SerialPort& link, const BackupFolder& backup,
                                   const QList<BusNode>& nodes, const Progress& progress = {});
// True when nothing differs (every module Same or NoSettings).
bool NoDifferences(const QList<ModuleComparison>& comparison);

struct RestoreOutcome {
    enum class Result { Restored, Skipped, Failed, NotDone };
    QString address;
    QString model;
    Result result = Result::Skipped;
    QString reason;        // why skipped or failed
    QStringList messages;  // every message the page gave, "error: Update failed!"
};
QString ResultName(RestoreOutcome::Result result);

// Whether a module of the comparison can be restored, and why not.
bool Restorable(const ModuleComparison& module, QString* whyNot);

// Loads the backup file of each chosen address (two hex digits) into its module exactly as
// the page's download does, with the page's Update sequences; the messages go into the
// outcome. A module of another model is never written; a failed module does not stop the
// others; a lost port ends the run and says which modules were done, and so does a stop.
QList<RestoreOutcome> RestoreBus(odel::SerialPort& link, const QList<ModuleComparison>& plan,
                                 const QSet<QString>& addresses, const Progress& progress = {});

// A unified diff of two texts, line by line with three lines of context; empty when equal.
QByteArray UnifiedDiff(const QByteArray& a, const QByteArray& b, const QString& nameA,
                       const QString& nameB);

}  // namespace odel::backup
