// The SQL functions and collations the engine gives every connection it
// opens, where SQLite's own know only ASCII: UPPER and LOWER over all of
// Unicode, LIKE that folds case beyond ASCII (sql/Like.h), and collations
// that sort text as a language does.
#pragma once

struct sqlite3;

namespace qvx::sql {

// Registers on db:
//   upper(X), lower(X)     Unicode case mapping (QString::toUpper/toLower):
//                          upper('Zoë') is 'ZOË', upper('straße') 'STRASSE'
//   X LIKE Y [ESCAPE Z]    '%', '_' and ESCAPE as SQLite's; letters compare
//                          by Unicode case folding ('ZOË' LIKE 'zoë%')
//   COLLATE LOCALE         text in the order of the user's locale (QCollator)
//   COLLATE <locale name>  the same for a named locale: sv_SE, de_DE, fr, ...
//                          (made when a statement first names it)
// Text columns keep SQLite's BINARY order unless a statement asks for one
// of these collations.
void registerFunctions(sqlite3 *db);

} // namespace qvx::sql
