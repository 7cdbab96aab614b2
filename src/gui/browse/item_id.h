#pragma once
// Item identifiers of the folders and files the browser lists.
//
// An identifier is a text: the empty text names the namespace root (never
// listed), "computer:///" the virtual folder "Computer" directly under it,
// and an absolute path every file-system item, with "/" one level below
// "Computer". The parsing name shown in the path box is the identifier.

#include <QString>

namespace ciphra::gui {

using ItemId = QString;

inline const QString kComputerId = QStringLiteral("computer:///");

// The folder one level up: a path's parent, "Computer" above "/", and the
// empty root above "Computer" (and above the root itself).
ItemId ParentId(const ItemId& id);

// The absolute identifier of an item listed in folder under relativeId.
// In "Computer" the relative identifiers are already absolute paths.
ItemId ConcatId(const ItemId& folder, const QString& relativeId);

// Parses a typed path: "computer:///", an absolute path, or "~" or "~/..."
// for the home folder. Throws ciphra::Exception with the system's message
// when the text is not such a path or does not name a readable folder.
ItemId ParseDisplayName(const QString& text);

// The full path of an entry: folder text, "/" unless it already ends in
// one, then the entry's caption.
QString FullPath(const QString& folderText, const QString& caption);

} // namespace ciphra::gui
