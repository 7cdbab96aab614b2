#pragma once
// What the hash window says when it verifies a file: the file in its
// Filename box against the text of its Expected box, which is either a
// digest (Hex or Char form, SHA-1 or SHA-256) or the path of a hash report
// or a sha1sum / sha256sum list, in which the line for the file is found by
// the file's name.

#include <QString>

class QLabel;

namespace ciphra::gui {

enum class VerdictKind {
    Match,    // the file has the expected digest
    Mismatch, // it has another
    Problem,  // nothing was compared: nothing to compare, or nothing readable
};

struct Verdict {
    VerdictKind Kind = VerdictKind::Problem;
    QString Headline; // a word or two, shown large
    QString Detail;   // which digest was compared with which line or value
};

// Hashes the file (only when there is something to compare it with) and
// compares. Never throws for an unreadable file or list: that is a Problem.
Verdict VerifyFile(const QString& filePath, const QString& expectedText);

// Shows the verdict in the label: the headline with a mark (✔, ✘, !) and the
// detail below it, on a green, red or amber ground, so that it reads without
// the colours too. The label's "verdict" property is "match", "mismatch" or
// "problem"; an empty headline hides the label.
void ShowVerdict(QLabel& label, const Verdict& verdict);

} // namespace ciphra::gui
