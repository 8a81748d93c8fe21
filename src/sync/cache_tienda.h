#pragma once

#include <QString>
#include <QStringList>

struct Ajustes;
class clsFTP;

// Deletes the files of the shop's cache folder (on its FTP server) whose names start with one of
// the prefixes ("cache.product."): OpenCart keeps product lists and boxes there for an hour, and
// would show the old ones until then. `ftp`: the client to use, or null for one of its own. The
// number of files deleted, or -1 with *error.
int BorrarCacheTienda(const Ajustes& ajustes, const QString& carpeta, const QStringList& prefijos,
                      clsFTP* ftp, QString* error);
