#include "instalacion.h"

#include "basesdd.h"
#include "dearchivos.h"
#include "delregistro.h"
#include "dialogos.h"
#include "libqvtx.h"
#include "texto_seguro.h"
#include "utilerias.h"

#include <QDir>

using namespace Qt::StringLiterals;

QString LeeIniDefault(const QString& seccion, const QString& clave, const QString& defecto,
                      const libQVTX& qvtx, const QString& rutaIni) {
    const QString valor = qvtx.LeeIni(seccion, clave, rutaIni);
    if (!valor.isEmpty())
        return valor;
    qvtx.EscribeIni(seccion, clave, defecto, rutaIni);
    return defecto;
}

QString BuscarRegistro(const QString& carpeta, DelRegistro& registro) {
    return registro.BuscarRegistroVMW(carpeta);
}

bool LocalizarInstalacion(const libQVTX& qvtx, DelRegistro& registro, BasesDD& bases,
                          const QString& rutaIni, bool fijarBase) {
    std::unique_ptr<DeArchivos> archivos;
    std::unique_ptr<Utilerias> utilerias;
    const bool creados =
        CrearObjeto(archivos, u"DeArchivos"_s) && CrearObjeto(utilerias, u"Utilerias"_s);
    if (!creados)
        return false;

    const QString carpeta =
        LeeIniDefault(SeccionConfiguracion, ClaveRutaHost, DefectoRutaHost, qvtx, rutaIni);
    if (BuscarRegistro(carpeta, registro).isEmpty()) {
        const QChar cr(u'\r');
        const QString texto = u"En el archivo de configuración de este programa"_s + cr + cr +
                              u'(' + QDir::toNativeSeparators(rutaIni) + u')' + cr + cr +
                              u"debe indicarse la ruta correcta de Velmora Premium."_s + cr +
                              u"Ruta indicada e incorrecta: "_s + cr + cr + carpeta;
        CajaMensaje(texto, Botones::Critico, u"Atención"_s);
        if (CajaMensaje(u"¿Desea editar el archivo de configuración?"_s,
                        Botones::SiNo | Botones::Pregunta, u"Editar INI"_s) == Respuesta::Si)
            archivos->AbreDocumento(rutaIni);
        return false;
    }

    bases.cPuerto = 3306;
    bases.cPassword.clear();
    bases.cUsuario = u"root"_s;

    if (libQVTX::qvVal(registro.DatosVMW(ClavesHost::Puerto)) == 0)
        registro.GuardaDatosVMW(ClavesHost::Puerto, QString::number(bases.cPuerto));
    if (registro.DatosVMW(ClavesHost::Servidor).trimmed().isEmpty())
        registro.GuardaDatosVMW(ClavesHost::Servidor,
                                registro.DatosVMW(ClavesHost::ServidorAlterno));
    if (registro.DatosVMW(ClavesHost::Usuario).trimmed().isEmpty())
        registro.GuardaDatosVMW(ClavesHost::Usuario, utilerias->Encripta(bases.cUsuario));
    if (registro.DatosVMW(ClavesHost::Contrasena).trimmed().isEmpty())
        registro.GuardaDatosVMW(ClavesHost::Contrasena, utilerias->Encripta(bases.cPassword));

    bool contrasenaLegible = true;
    bool usuarioLegible = true;
    bases.cPassword =
        utilerias->DesEncripta(registro.DatosVMW(ClavesHost::Contrasena), &contrasenaLegible);
    textoSeguro::ocultar(bases.cPassword);
    bases.cUsuario =
        utilerias->DesEncripta(registro.DatosVMW(ClavesHost::Usuario), &usuarioLegible);
    bases.cIlegible.clear();
    if (!contrasenaLegible || !usuarioLegible)
        bases.cIlegible =
            u"el usuario o la contraseña del punto de venta en %1 están cifrados con otra llave "
            u"(la llave no corresponde a estos valores)"_s.arg(registro.archivoHost());
    bases.cPuerto = int(libQVTX::qvVal(registro.DatosVMW(ClavesHost::Puerto)));
    bases.cRuta = registro.DatosVMW(ClavesHost::Servidor);

    if (fijarBase)
        bases.cMiBase = LeeIniDefault(SeccionConfiguracion, ClaveBasePrincipal,
                                      DefectoBasePrincipal, qvtx, rutaIni);
    return true;
}
