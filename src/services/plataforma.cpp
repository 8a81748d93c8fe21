#include "plataforma.h"

#include "archivo_atomico.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#ifdef Q_OS_WIN
#include <QSettings>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#ifdef Q_OS_WIN
#include <io.h>
// clang-format off: windows.h first, the others need its types.
#include <aclapi.h>
#include <shellapi.h>
#include <wincrypt.h>
#include <windows.h>
// clang-format on
#else
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace plataforma {

#ifdef Q_OS_WIN
namespace {
// The SID of the user this process runs as, in a buffer the caller keeps.
PSID usuarioActual(QByteArray& buffer) {
    HANDLE ficha = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &ficha))
        return nullptr;
    DWORD largo = 0;
    GetTokenInformation(ficha, TokenUser, nullptr, 0, &largo);
    buffer.resize(qsizetype(largo));
    const bool bien = largo && GetTokenInformation(ficha, TokenUser, buffer.data(), largo, &largo);
    CloseHandle(ficha);
    return bien ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid : nullptr;
}
} // namespace

bool restringirAlDueno(const QString& ruta) {
    // Permission bits mean nothing to NTFS: the file gets an access list of its own with one entry,
    // full control for this user, and stops inheriting its folder's entries.
    QByteArray buffer;
    PSID yo = usuarioActual(buffer);
    if (!yo)
        return false;
    EXPLICIT_ACCESSW acceso{};
    acceso.grfAccessPermissions = GENERIC_ALL;
    acceso.grfAccessMode = SET_ACCESS;
    acceso.grfInheritance = NO_INHERITANCE;
    acceso.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    acceso.Trustee.TrusteeType = TRUSTEE_IS_USER;
    acceso.Trustee.ptstrName = static_cast<LPWSTR>(yo);
    PACL lista = nullptr;
    if (SetEntriesInAclW(1, &acceso, nullptr, &lista) != ERROR_SUCCESS)
        return false;
    std::wstring nativa = QDir::toNativeSeparators(ruta).toStdWString();
    const DWORD r =
        SetNamedSecurityInfoW(nativa.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, lista, nullptr);
    LocalFree(lista);
    return r == ERROR_SUCCESS;
}

bool accesiblePorOtros(const QString& ruta) {
    // Anyone but this user granted anything by the file's access list (no list at all grants
    // everyone everything).
    std::wstring nativa = QDir::toNativeSeparators(ruta).toStdWString();
    PACL lista = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(nativa.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &lista, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    QByteArray buffer;
    PSID yo = usuarioActual(buffer);
    bool otros = lista == nullptr;
    for (DWORD i = 0; lista && i < lista->AceCount && !otros; ++i) {
        void* entrada = nullptr;
        if (!GetAce(lista, i, &entrada))
            continue;
        auto* cabecera = static_cast<ACE_HEADER*>(entrada);
        if (cabecera->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        auto* permitida = static_cast<ACCESS_ALLOWED_ACE*>(entrada);
        otros = !yo || !EqualSid(yo, &permitida->SidStart);
    }
    LocalFree(descriptor);
    return otros;
}
#else
bool restringirAlDueno(const QString& ruta) {
    return QFile::setPermissions(ruta, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

bool accesiblePorOtros(const QString& ruta) {
    const auto p = QFile::permissions(ruta);
    return p & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                QFileDevice::WriteOther);
}
#endif

bool carpetaEscribible(const QString& carpeta) {
#ifdef Q_OS_WIN
    // Qt reads only the read-only attribute of a Windows folder, which Program Files lacks:
    // creating a file there is the one sure test.
    QTemporaryFile prueba(carpeta + u"/.vendaro-XXXXXX"_s);
    return prueba.open();
#else
    return QFileInfo(carpeta).isWritable();
#endif
}

QString carpetaConfiguracionUsuario() {
    // The same folder as AppConfigLocation for an application named "vendaro" without organisation,
    // but independent of whether a QCoreApplication exists yet.
    const QString carpeta =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/vendaro"_s;
    QDir().mkpath(carpeta);
    return carpeta;
}

bool abrirDocumento(const QString& ruta) {
#ifdef Q_OS_WIN
    // The shell's own answer, so a file with no program to open it is reported (cmd's start
    // always succeeds).
    const std::wstring nativa = QDir::toNativeSeparators(ruta).toStdWString();
    SHELLEXECUTEINFOW pedido{};
    pedido.cbSize = sizeof pedido;
    pedido.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    pedido.lpVerb = L"open";
    pedido.lpFile = nativa.c_str();
    pedido.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&pedido);
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(u"open"_s, {ruta});
#else
    return QProcess::startDetached(u"xdg-open"_s, {ruta});
#endif
}

#ifdef Q_OS_WIN
namespace {
const QString ClaveRun = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"_s;
// The value is named after the executable without its suffix, as the uninstaller knows it.
QString nombreValor(const QString& nombreEjecutable) {
    return QFileInfo(nombreEjecutable).completeBaseName();
}
} // namespace
QString archivoInicioAutomatico(const QString& nombreEjecutable) {
    return ClaveRun + u'\\' + nombreValor(nombreEjecutable);
}
QString ordenInicioAutomatico(const QStringList& argumentos) {
    QStringList partes;
    for (const QString& a : argumentos) {
        QString n = QDir::toNativeSeparators(a);
        n.replace(u'"', u"\\\""_s);
        partes.append(n.contains(u' ') || n.contains(u'\t') || n.isEmpty() ? u'"' + n + u'"' : n);
    }
    return partes.join(u' ');
}
QString inicioAutomaticoRegistrado(const QString& nombreEjecutable) {
    QSettings run(ClaveRun, QSettings::NativeFormat);
    return run.value(nombreValor(nombreEjecutable)).toString();
}
bool registrarInicioAutomatico(const QString& nombreEjecutable, const QStringList& argumentos) {
    QSettings run(ClaveRun, QSettings::NativeFormat);
    run.setValue(nombreValor(nombreEjecutable), ordenInicioAutomatico(argumentos));
    run.sync();
    return run.status() == QSettings::NoError;
}
#else
QString archivoInicioAutomatico(const QString& nombreEjecutable) {
    const QString base = QFileInfo(nombreEjecutable).completeBaseName();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/autostart/"_s + base + u".desktop"_s;
}

QString ordenInicioAutomatico(const QStringList& argumentos) {
    // Desktop entries: an argument with a reserved character goes between double quotes, inside
    // which ", `, $ and \ take a backslash; the value itself escapes \ once more, and % is
    // doubled (a lone % starts a field code).
    static const QString reservados = u" \t\n\"'\\><~|&;$*?#()`"_s;
    QStringList partes;
    for (const QString& a : argumentos) {
        QString n = a;
        n.replace(u'%', u"%%"_s);
        const bool citar = n.isEmpty() || std::any_of(n.begin(), n.end(), [](QChar c) {
                               return reservados.contains(c);
                           });
        if (citar) {
            QString dentro;
            for (QChar c : n) {
                if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                    dentro += u'\\';
                dentro += c;
            }
            n = u'"' + dentro + u'"';
        }
        partes.append(n.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s));
    }
    return partes.join(u' ');
}

QString inicioAutomaticoRegistrado(const QString& nombreEjecutable) {
    QFile f(archivoInicioAutomatico(nombreEjecutable));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& linea : f.readAll().split('\n'))
        if (linea.startsWith("Exec="))
            return QString::fromUtf8(linea.mid(5)).trimmed();
    return {};
}

bool registrarInicioAutomatico(const QString& nombreEjecutable, const QStringList& argumentos) {
    const QString archivo = archivoInicioAutomatico(nombreEjecutable);
    QDir().mkpath(QFileInfo(archivo).path());
    const QString texto = u"[Desktop Entry]\nType=Application\nName=Vendaro\n"
                          u"Comment=Envía los productos del punto de venta a la tienda en línea\n"
                          u"Exec="_s +
                          ordenInicioAutomatico(argumentos) +
                          u"\nIcon=vendaro\nTerminal=false\nX-GNOME-Autostart-enabled=true\n"_s;
    return escribirArchivoAtomico(archivo, texto.toUtf8(), Permisos::Conservar);
}
#endif

bool sincronizar(int descriptor, QString* error) {
    if (descriptor < 0)
        return true;
#ifdef Q_OS_WIN
    const bool bien = ::_commit(descriptor) == 0;
#else
    const bool bien = ::fsync(descriptor) == 0;
#endif
    if (!bien && error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return bien;
}

bool salidaEsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stdout));
#else
    return ::isatty(STDOUT_FILENO);
#endif
}

QString autoridadesTls() {
#ifdef Q_OS_WIN
    // OpenSSL knows nothing of the Windows certificate store: its root authorities are written
    // once per run as a PEM file the TLS libraries read; the bundle installed beside the program
    // stands in when the store cannot be read.
    static const QString archivo = [] {
        QByteArray pem;
        if (HCERTSTORE almacen = CertOpenSystemStoreW(0, L"ROOT")) {
            for (PCCERT_CONTEXT c = nullptr; (c = CertEnumCertificatesInStore(almacen, c));) {
                const QByteArray der(reinterpret_cast<const char*>(c->pbCertEncoded),
                                     qsizetype(c->cbCertEncoded));
                pem += "-----BEGIN CERTIFICATE-----\n";
                const QByteArray b64 = der.toBase64();
                for (qsizetype i = 0; i < b64.size(); i += 64)
                    pem += b64.mid(i, 64) + '\n';
                pem += "-----END CERTIFICATE-----\n";
            }
            CertCloseStore(almacen, 0);
        }
        if (!pem.isEmpty()) {
            const QString ruta = carpetaConfiguracionUsuario() + u"/autoridades.pem"_s;
            if (escribirArchivoAtomico(ruta, pem, Permisos::Conservar))
                return QDir::toNativeSeparators(ruta);
        }
        const QString junto = QCoreApplication::applicationDirPath() + u"/cacert.pem"_s;
        return QFileInfo::exists(junto) ? QDir::toNativeSeparators(junto) : QString();
    }();
    return archivo;
#else
    return {};
#endif
}

bool altF4EsPeticionDeCierre() {
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

void prepararProceso() {
#ifdef Q_OS_WIN
    // MinGW's emulated thread-local storage frees a thread's variables before the C++ runtime
    // runs their destructors, and Qt keeps the JIT stack of its regular expressions in one: a
    // worker thread that had matched an expression (a send run, a connection test) faulted as it
    // ended, inside the loader's thread-end callbacks, and left a lock of the threads library held,
    // so the process then hung at exit. Without the JIT that variable is never touched; the
    // program's expressions are short ones.
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
#endif
}

void conectarConsola() {
#ifdef Q_OS_WIN
    // The output is UTF-8 (QTextStream's, and the boxes'): the console shows it as such.
    SetConsoleOutputCP(CP_UTF8);
    // A windowed program has no standard output of its own: --check and --send write to the
    // console of the command line that started them, unless their output was redirected.
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN)
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* f = nullptr;
        freopen_s(&f, "CONOUT$", "w", stdout);
        freopen_s(&f, "CONOUT$", "w", stderr);
    }
#endif
}

} // namespace plataforma
