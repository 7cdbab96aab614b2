#pragma once
// The names of the files the jobs write, formed from the names they read.

#include <string>

namespace ciphra {

enum class CipherDirection { Encrypt, Decrypt };

// The form of an encrypted file: the program's own ".CPH" (Twofish, the
// length of the plain file, nothing to check a password against), or the
// age format (authenticated; read by the age tools).
enum class CipherFormat { Cph, Age };

// The output beside a file: its full name with ".CPH" appended when
// encrypting ("report.doc" gives "report.doc.CPH"), its extension replaced by
// ".dec" when decrypting ("report.doc.CPH" gives "report.doc.dec").
std::string OutputPathBeside(CipherDirection direction, const std::string& path);
// The same for a format: for age files ".age" is appended when encrypting
// and taken off when decrypting ("x.txt.age" gives "x.txt"); a name without
// it gets ".dec" for its extension, as a ".CPH" file would.
std::string OutputPathBeside(CipherDirection direction, const std::string& path,
                             CipherFormat format);

// A self-decrypting program: the plain file's extension replaced by ".exe"
// ("report.doc" gives "report.exe", "notes" gives "notes.exe").
std::string SelfDecryptingProgramPath(const std::string& plainPath);

// What a self-decrypting program restores: its own extension replaced by ".dec".
std::string RestoredPathOf(const std::string& programPath);

// The stub "sfdstub.dtt" for a program in programFolder: beside it, as in a
// build tree, when a file is there; else where an installation keeps it
// ("/usr/lib/ciphra2k/sfdstub.dtt" for a program in "/usr/bin") when a file
// is there; else the path beside the program, which the missing-stub
// message then names.
std::string StubPathFor(const std::string& programFolder);

// StubPathFor the folder of the running program.
std::string DefaultStubPath();

} // namespace ciphra
