// A page's settings file: the ordered lines "Key: value\n" a page writes, and the same list
// read back. Loading checks the whole file against the list before anything is applied, so a
// file that is not what the page saves (hand-edited, truncated, another model) changes nothing.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace odel::ui {

// Why content was refused: the line (counted from 1) and what is wrong with it.
struct ConfError {
    int line = 0;
    QString text;
};

class ConfSchema {
  public:
    // "Module Name: %s\n" with the outer caption, blanks included; read back as the trimmed word.
    void moduleName(const QString& caption);
    // "Key: %d\n", the combo's item index, -1 for no selection; loading accepts -1 .. count-1
    // and shows -1 as no selection.
    void comboIndex(const QString& key, QComboBox* combo);
    // Check box written "0" when ticked and "1" when not; loading only clears the box.
    void clearedFlag(const QString& key, QCheckBox* box);
    // Check box written "1" when ticked and "0" when not; loading sets it from the value.
    void state(const QString& key, QCheckBox* box);
    // "Key: %f\n" of the edit's text read as a number (no number writes 0); loading shows the
    // value in the shortest general notation. valid(), when given, decides what a file may hold;
    // a value the page's own Update refuses belongs there, not here.
    void real(const QString& key, QLineEdit* edit, std::function<bool(double)> valid = {});
    // "Key: %s\n" of the edit's text; loading takes the rest of the line as it stands.
    void text(const QString& key, QLineEdit* edit);
    // A line written from value() and checked on loading by accept(), but never applied.
    void readOnly(const QString& key, std::function<QString()> value,
                  std::function<bool(const QString&)> accept = {});
    // A line of the page's own kind: written from value(), checked by accept(), put by put().
    void custom(const QString& key, std::function<QString()> value,
                std::function<bool(const QString&)> accept,
                std::function<void(const QString&)> put);
    // A step run on loading at this point (an Update button); writes nothing.
    void step(std::function<void()> run);
    // A step run on saving at this point, before the lines that follow are written.
    void saveStep(std::function<void()> run);

    QByteArray write() const;
    // Checks content line by line against the list; true when every line and nothing else is
    // there. Applies nothing. On refusal error, when given, names the first line found wrong.
    bool parse(const QByteArray& content, ConfError* error = nullptr);
    // Puts the parsed values into their controls and runs the steps, in file order.
    // beforeStep, when given, is told each step first: its number from 1 and the key of the
    // line before it.
    void apply(const std::function<void(int, const QString&)>& beforeStep = {}) const;
    // True when the list holds no line (the page has no settings file).
    bool empty() const;
    // The value of the first line with this key in content, or a null string.
    static QString valueIn(const QByteArray& content, const QString& key);

  private:
    struct Line {
        QString key;                                 // empty for a step
        std::function<QString()> value;              // text written after "Key: "
        std::function<bool(const QString&)> accept;  // checks a value read back
        std::function<void(const QString&)> put;     // puts it into its control
        std::function<void()> run;                   // load steps
        std::function<void()> saveRun;               // save steps
    };
    std::vector<Line> lines_;
    std::vector<QString> parsed_;
};

// Default settings file name: the outer caption from its 7th character on, trimmed, + ".txt".
QString defaultConfFileName(const QString& caption);

}  // namespace odel::ui
