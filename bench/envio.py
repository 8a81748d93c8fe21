#!/usr/bin/python3
"""The send-run benchmark. Run it through bench/envio.sh, which installs and builds what it needs.

For each strategy ("Modo de envío": por lotes, por producto), on a fresh point-of-sale database and
a fresh empty shop, it runs: the first send, a second send with nothing changed, a third after 1 %
of the prices and stocks changed, and two sends with pictures (the second with nothing changed).
The shop is reached through our relay (bench/proxy_latencia.cpp) that adds the latency; the
point-of-sale database through a second relay without latency, for counting only. Everything runs
on loopback, in throwaway servers that are stopped at the end.

With --tunel, each strategy runs on two equal catalogues side by side, step by step: one shop reached
directly as above, the other through the throwaway OpenSSH server (scripts/sshd.sh) with the delaying
relay in front of it, and a relay without delay between the SSH server and the database to count
the same statements and round trips as the direct run does.
"""
import argparse
import datetime
import difflib
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no caches in the source tree
AQUI = os.path.dirname(os.path.abspath(__file__))
RAIZ = os.path.dirname(AQUI)
sys.path.insert(0, AQUI)
import catalogo  # noqa: E402

MODOS = {"lotes": "por lotes", "producto": "por producto"}
ESTADO = ["Com_select", "Com_insert", "Com_insert_select", "Com_update", "Com_update_multi",
          "Com_delete", "Com_delete_multi", "Com_replace", "Handler_write", "Handler_update",
          "Handler_delete", "Handler_read_rnd_next", "Questions"]
TABLAS_TIENDA = ["oc_product", "oc_product_description", "oc_option_value",
                 "oc_option_value_description", "oc_product_option", "oc_product_option_value",
                 "oc_product_image"]


class Servidores:
    def __init__(self, carpeta):
        self.carpeta = carpeta
        subprocess.run([os.path.join(RAIZ, "scripts", "servers.sh"), "start", carpeta], check=True,
                       stdout=subprocess.DEVNULL)
        self.env = {}
        for linea in open(os.path.join(carpeta, "servers.env")):
            k, _, v = linea.strip().partition("=")
            self.env[k] = v

    def parar(self):
        subprocess.run([os.path.join(RAIZ, "scripts", "servers.sh"), "stop", self.carpeta],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def sql(self, texto, base=None, entrada=None):
        """Runs SQL as root over the socket, never through a relay, so it is not counted."""
        orden = ["mariadb", "--no-defaults", "-S", self.env["VENDARO_MYSQL_SOCKET"], "-uroot",
                 "-N", "-B"]
        if base:
            orden.append(base)
        if texto is not None:
            orden += ["-e", texto]
        r = subprocess.run(orden, input=entrada, capture_output=True, text=True)
        if r.returncode != 0:
            raise RuntimeError("SQL failed: %s\n%s" % ((texto or "")[:200], r.stderr))
        return r.stdout

    def estado(self):
        salida = self.sql("SHOW GLOBAL STATUS WHERE Variable_name IN (%s)"
                          % ", ".join("'%s'" % v for v in ESTADO))
        return {k: int(v) for k, v in (l.split("\t") for l in salida.splitlines())}

    def volcado(self, base, donde_producto=None):
        """The shop's tables as sorted, one-row-per-line SQL, without the values that only say
        when the dump was made or how far a counter went."""
        orden = ["mysqldump", "--no-defaults", "-S", self.env["VENDARO_MYSQL_SOCKET"], "-uroot",
                 "--skip-dump-date", "--order-by-primary", "--skip-extended-insert",
                 "--skip-comments", base]
        if donde_producto is None:
            # The send's own record of what it wrote says when it wrote each row.
            texto = subprocess.run(orden + ["--ignore-table=%s.oc_vendaro_registro" % base],
                                   capture_output=True, text=True, check=True).stdout
        else:
            texto = ""
            for t in TABLAS_TIENDA:
                extra = []
                if t not in ("oc_option_value", "oc_option_value_description"):
                    extra = ["--where", "product_id <= %d" % donde_producto]
                texto += subprocess.run(orden + [t] + extra, capture_output=True, text=True,
                                        check=True).stdout
        return [re.sub(r" AUTO_INCREMENT=\d+", "", l) for l in texto.splitlines()]


class Relevo:
    """One of our relays, started for one run and stopped after it to read its counters."""

    vivos = []

    def __init__(self, binario, destino, escucha, latencia_ms, carpeta, nombre, linea=None,
                 mysql=True):
        self.estadisticas = os.path.join(carpeta, nombre + ".json")
        puerto = os.path.join(carpeta, nombre + ".puerto")
        for f in (self.estadisticas, puerto):
            if os.path.exists(f):
                os.remove(f)
        # The test server offers TLS and Vendaro takes it when offered: the relay hides the offer,
        # so that it can read and count the statements.
        orden = [binario, "--destino", str(destino), "--escucha", str(escucha), "--latencia-ms",
                 str(latencia_ms), "--puerto-archivo", puerto, "--estadisticas",
                 self.estadisticas]
        # In front of the SSH server the relay only delays and counts bytes and round trips.
        orden += ["--ocultar-tls", "1"] if mysql else ["--mysql", "0"]
        if linea:
            orden += ["--subida-kbps", str(linea["subida_kbps"]), "--bajada-kbps",
                      str(linea["bajada_kbps"])]
        self.proceso = subprocess.Popen(orden)
        Relevo.vivos.append(self.proceso)
        for _ in range(200):
            if os.path.exists(puerto) or self.proceso.poll() is not None:
                break
            time.sleep(0.01)
        if not os.path.exists(puerto):
            raise RuntimeError("the relay did not start (port %d)" % escucha)

    def parar(self):
        if self.proceso.poll() is None:
            self.proceso.send_signal(signal.SIGTERM)
            self.proceso.wait(10)
        return json.load(open(self.estadisticas))


def puerto_libre():
    import socket
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    p = s.getsockname()[1]
    s.close()
    return p


def contar_ftp(log):
    """Completed uploads in the FTP server's log: (files, bytes)."""
    archivos = bytes_ = 0
    if os.path.exists(log):
        for linea in open(log, errors="replace"):
            if " STOR " in linea and "completed=1" in linea:
                archivos += 1
                m = re.search(r"bytes=(\d+)", linea)
                bytes_ += int(m.group(1)) if m else 0
    return archivos, bytes_


def leer_resumen(texto):
    """The figures of Vendaro's last summary line ("Productos leídos: 10; creados: 10; ...")."""
    lineas = [l for l in texto.splitlines() if "Productos leídos:" in l]
    if not lineas:
        return None, {}
    linea = lineas[-1][lineas[-1].index("Productos leídos:"):]
    cifras = {}
    for nombre, valor in re.findall(r"([^;:]+): ([\d.]+)", linea):
        cifras[nombre.strip()] = float(valor) if "." in valor else int(valor)
    return linea, cifras


class Banco:
    def __init__(self, a, run):
        self.a = a
        self.run = run
        self.srv = Servidores(os.path.join(run, "servidores"))
        self.puerto_tienda = puerto_libre()
        self.puerto_pos = puerto_libre()
        self.fotos = os.path.join(run, "fotos") + "/"
        # The program's own folder (known_hosts among others) is the run's, not the user's.
        self.configuracion = os.path.join(run, "configuracion")
        self.puerto_ssh = puerto_libre()
        self.puerto_tienda_ssh = puerto_libre()
        self.puerto_paso = puerto_libre()

    def preparar(self, nombre, n, modo, con_fotos=True, comprimir=True, tunel=False):
        """A fresh point-of-sale database with n products, a fresh empty shop and the program's
        folder with its settings, for one strategy."""
        e = self.srv.env
        pos, tienda = "pos_" + nombre, "tienda_" + nombre
        self.srv.sql("DROP DATABASE IF EXISTS %s; DROP DATABASE IF EXISTS %s; "
                     "CREATE DATABASE %s CHARACTER SET utf8mb4; "
                     "CREATE DATABASE %s CHARACTER SET utf8mb4" % (pos, tienda, pos, tienda))
        self.srv.sql(None, pos, open(os.path.join(RAIZ, "tests/data/pos_esquema.sql")).read())
        partes = []
        catalogo.sql_pos(n, self.fotos if con_fotos else "", partes.append)
        self.srv.sql(None, pos, "".join(partes))
        self.srv.sql(None, tienda, open(os.path.join(RAIZ, "tests/data/tienda_esquema.sql")).read())

        carpeta = os.path.join(self.run, nombre)
        shutil.rmtree(carpeta, ignore_errors=True)
        os.makedirs(os.path.join(carpeta, "velmora"))
        os.makedirs(os.path.join(e["VENDARO_FTP_ROOT"], nombre), exist_ok=True)
        with open(os.path.join(carpeta, "velmora", "velmora.ini"), "w") as f:
            f.write("[Servidor]\nMySQLServer=127.0.0.1\nMySQLPuerto=%d\nMySQLUsuario=%s\n"
                    "MySQLPassword=%s\n" % (self.puerto_pos, e["VENDARO_MYSQL_USER"],
                                            e["VENDARO_MYSQL_PASSWORD"]))
        descripcion = "product_id,language_id=1,language_id=3"
        # Through the tunnel "Dirección IP" and "Puerto" are the database as the SSH server sees it.
        puerto_tienda = self.puerto_tienda_ssh if tunel else self.puerto_tienda
        ssh = ""
        if tunel:
            s = self.srv.env  # the SSH server of scripts/sshd.sh, started with the others
            ssh = "Túnel SSH=127.0.0.1:%d\nUsuario SSH=%s\nLlave SSH=%s\n" % (
                self.puerto_ssh, s["VENDARO_SSH_USER"],
                os.path.join(s["VENDARO_SSH_DIR"], "id_ed25519"))
        with open(os.path.join(carpeta, "vendaro.ini"), "w") as f:
            f.write(f"""[Configuración]
Ruta de Velmora Premium={carpeta}/velmora
Base de datos principal={pos}
Usuario WEB={e["VENDARO_MYSQL_USER"]}
Contraseña WEB={e["VENDARO_MYSQL_PASSWORD"]}
Dirección IP=127.0.0.1
Base de datos WEB={tienda}
Nombre de la tabla=oc_product
Puerto={puerto_tienda}
{ssh}Intervalo en minutos para enviar existencias=0
Modo de envío={modo}
Comprimir conexión WEB={1 if comprimir else 0}
Campo en productos para talla o color=product_id
Tabla externa para imágenes=oc_product_image
Llave en productos para imagen=product_id
Llave en tabla externa para imagen=product_id
Campo en tabla externa para imagen=image
Prefijo para el campo en tabla de imagen=catalog/productos/
Dirección del FTP=127.0.0.1:{e["VENDARO_FTP_PORT"]}
Carpeta del FTP={nombre}/
Usuario del FTP={e["VENDARO_FTP_USER"]}
Password del FTP={e["VENDARO_FTP_PASSWORD"]}

[Campos]
Clave.CampoWEB=model
Precio.CampoWEB=price
Existencia.CampoWEB=quantity
CodigoBarras.CampoWEB=ean
Peso.CampoWEB=weight
Alta.CampoWEB=date_available
unidadmedida.CampoWEB=location
Descrip.CampoWEB=name
Descrip.TablaExterna=oc_product_description
Descrip.CampoEnProds=product_id
Descrip.CampoEnTablaExt={descripcion}
marca.CampoWEB=tag
marca.TablaExterna=oc_product_description
marca.CampoEnProds=product_id
marca.CampoEnTablaExt={descripcion}
linea.CampoWEB=meta_keyword
linea.TablaExterna=oc_product_description
linea.CampoEnProds=product_id
linea.CampoEnTablaExt={descripcion}
""")
        # New rows get fixed dates, so that two runs at different times can leave equal shops.
        with open(os.path.join(carpeta, "oc_product.txt"), "w") as f:
            f.write("sku =\nupc =\njan =\nisbn =\nmpn =\nstock_status_id = 7\n"
                    "manufacturer_id = 0\ntax_class_id = 9\nstatus = 1\n"
                    "date_added = 2026-01-01 00:00:00\ndate_modified = 2026-01-01 00:00:00\n")
        with open(os.path.join(carpeta, "oc_product_description.txt"), "w") as f:
            f.write("description =\nmeta_title =\nmeta_description =\n")
        with open(os.path.join(carpeta, "oc_product_image.txt"), "w") as f:
            f.write("sort_order = 0\n")
        return carpeta

    def medir(self, carpeta, etiqueta, latencia_ms, imagenes=False, linea=None, tunel=False,
              paso=False):
        """One `vendaro --send` through the relays, with what it cost. Through the tunnel the
        delaying relay is the SSH server's ("enlace"), and the shop's relay only counts. With
        paso, a relay without delay sits behind the delaying one, so that a direct run crosses as
        many relays as a tunnelled one."""
        vendaro = self.a.vendaro
        salida = os.path.join(carpeta, etiqueta + ".salida")
        tiempo = os.path.join(carpeta, etiqueta + ".time")
        e = self.srv.env
        enlace = intermedio = None
        if paso:
            intermedio = Relevo(self.a.proxy, e["VENDARO_MYSQL_PORT"], self.puerto_paso, 0,
                                carpeta, etiqueta + ".paso", mysql=False)
        if tunel:
            enlace = Relevo(self.a.proxy, e["VENDARO_SSH_PORT"], self.puerto_ssh,
                            latencia_ms, carpeta, etiqueta + ".enlace", linea, mysql=False)
            tienda = Relevo(self.a.proxy, e["VENDARO_MYSQL_PORT"], self.puerto_tienda_ssh, 0,
                            carpeta, etiqueta + ".tienda")
        else:
            tienda = Relevo(self.a.proxy, self.puerto_paso if paso else e["VENDARO_MYSQL_PORT"],
                            self.puerto_tienda, latencia_ms, carpeta, etiqueta + ".tienda", linea)
        pos = Relevo(self.a.proxy, e["VENDARO_MYSQL_PORT"], self.puerto_pos, 0, carpeta,
                     etiqueta + ".pos")
        try:
            log_ftp = os.path.join(self.srv.carpeta, "ftp.log")
            ftp_antes = contar_ftp(log_ftp)
            antes = self.srv.estado()
            orden = ["/usr/bin/time", "-v", "-o", tiempo, vendaro, "--send"]
            if imagenes:
                orden.append("--pictures")
            orden += ["--ini", os.path.join(carpeta, "vendaro.ini")]
            inicio = time.monotonic()
            with open(salida, "w") as f:
                # Its own process group, so that an interrupted benchmark leaves no Vendaro behind.
                proceso = subprocess.Popen(orden, stdout=f, stderr=subprocess.STDOUT,
                                           start_new_session=True,
                                           env=dict(os.environ, QT_QPA_PLATFORM="offscreen",
                                                    XDG_CONFIG_HOME=self.configuracion))
                try:
                    codigo = proceso.wait()
                except BaseException:
                    os.killpg(proceso.pid, signal.SIGKILL)
                    raise
            segundos = time.monotonic() - inicio
            despues = self.srv.estado()
            time.sleep(0.3)  # the FTP server writes its log line after the transfer
            ftp_despues = contar_ftp(log_ftp)
        finally:
            st, sp = tienda.parar(), pos.parar()
            se = enlace.parar() if enlace else None
            if intermedio:
                intermedio.parar()
        d = {k: despues[k] - antes[k] for k in ESTADO}
        linea, cifras = leer_resumen(open(salida, errors="replace").read())
        rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", open(tiempo).read())
        r = {
            "paso": etiqueta, "codigo_salida": codigo, "segundos": round(segundos, 2),
            "memoria_kib": int(rss.group(1)) if rss else None,
            "tienda": st, "pos": sp, "enlace": se,
            "servidor": d,
            "filas_insertadas": d["Handler_write"], "filas_cambiadas": d["Handler_update"],
            "filas_borradas": d["Handler_delete"],
            "filas_recorridas": d["Handler_read_rnd_next"],
            "archivos_ftp": ftp_despues[0] - ftp_antes[0],
            "bytes_ftp": ftp_despues[1] - ftp_antes[1],
            "resumen": linea, "cifras_vendaro": cifras,
        }
        if linea is None:
            print("  ! no summary line in %s (exit code %d)" % (salida, codigo))
        return r


def sentencias(rel, servidor):
    s = rel["sentencias"]
    if rel.get("conexiones_comprimidas"):
        # The relay cannot read a compressed session: the server's own counts of the statements
        # that write (both databases share the server, and the point of sale is only read).
        return "comprimidas (%d INS, %d UPD)" % (servidor["Com_insert"] + servidor["Com_replace"],
                                                 servidor["Com_update"])
    return "%d (%d SEL, %d INS, %d UPD)" % (rel["sentencias_total"], s.get("SELECT", 0),
                                           s.get("INSERT", 0), s.get("UPDATE", 0))


def fila_tabla(r):
    t, p = r["tienda"], r["pos"]
    minimo = 2 * (r.get("enlace") or t)["latencia_ms"] * t["viajes"] / 1000
    return [r["paso"], "%.1f" % r["segundos"], "%.1f" % minimo, sentencias(t, r["servidor"]),
            str(t["viajes"]),
            "%d/%d" % (p["sentencias_total"], p["viajes"]),
            "%d/%d" % (r["filas_insertadas"], r["filas_cambiadas"]),
            "%.0f/%.0f" % (t["bytes_al_servidor"] / 1024, t["bytes_al_cliente"] / 1024),
            "%d" % r["archivos_ftp"],
            "%.0f" % ((r["memoria_kib"] or 0) / 1024)]


CABECERA = ["paso", "s", "s mín.", "sentencias a la tienda", "viajes tienda", "TPV sent/viajes",
            "filas ins/camb", "KiB →/← tienda", "archivos FTP", "MiB máx"]


def imprimir_tabla(filas):
    anchos = [max(len(str(f[i])) for f in [CABECERA] + filas) for i in range(len(CABECERA))]
    for j, f in enumerate([CABECERA] + filas):
        print("  " + "  ".join(str(c).ljust(anchos[i]) if i == 0 else str(c).rjust(anchos[i])
                               for i, c in enumerate(f)))
        if j == 0:
            print("  " + "  ".join("-" * w for w in anchos))


PASOS = [("primer_envio", "primer envío (tienda vacía)", False, None),
         ("sin_cambios", "segundo envío, sin cambios", False, None),
         ("cambio_1pc", "tercer envío, 1 % cambiado", False, "cambios"),
         ("imagenes_1", "envío con imágenes (1.ª vez)", True, None),
         ("imagenes_2", "envío con imágenes, sin cambios", True, None)]


# The links the benchmark runs on: each way's delay, and the line's rate each way (0: no limit).
LINEAS = {
    "ilimitada": {"latencia_ms": None, "subida_kbps": 0, "bajada_kbps": 0},
    # A shop owner's consumer line: 20 ms round trip, 10 Mbit/s down, 2 Mbit/s up.
    "domestica": {"latencia_ms": 10, "subida_kbps": 2000, "bajada_kbps": 10000},
}


def estrategias(banco, a, run, nombre_linea="ilimitada"):
    resultados = {}
    linea = dict(LINEAS[nombre_linea])
    latencia = a.latencia_ms if linea["latencia_ms"] is None else linea["latencia_ms"]
    limitada = linea["subida_kbps"] or linea["bajada_kbps"]
    for nombre in (a.estrategias if not limitada else a.estrategias_linea):
        n = a.productos_por_producto if nombre == "producto" and a.productos_por_producto else \
            a.productos
        print("\n== Modo de envío «%s»: %d productos, %s ms de latencia en cada sentido%s"
              % (MODOS[nombre], n, latencia,
                 ", línea de %d kbit/s de subida y %d de bajada" % (linea["subida_kbps"],
                                                                    linea["bajada_kbps"])
                 if limitada else ""), flush=True)
        carpeta = banco.preparar(nombre + ("_" + nombre_linea if limitada else ""), n,
                                 MODOS[nombre], comprimir=a.comprimir)
        pasos = []
        for clave, etiqueta, imagenes, antes in PASOS:
            if antes == "cambios":
                banco.srv.sql(catalogo.sql_cambios(n),
                              "pos_" + nombre + ("_" + nombre_linea if limitada else ""))
            if limitada and imagenes:
                continue  # the pictures' cost is the FTP server's, measured on the other link
            r = banco.medir(carpeta, clave, latencia, imagenes, linea if limitada else None)
            r["etiqueta"] = etiqueta
            pasos.append(r)
            print("  %-34s %8.1f s  %7.0f kB → %7.0f kB ←  %s" % (
                etiqueta, r["segundos"], r["tienda"]["bytes_al_servidor"] / 1000,
                r["tienda"]["bytes_al_cliente"] / 1000, r["resumen"] or "(sin resumen)"),
                  flush=True)
        resultados[nombre] = {"productos": n, "pasos": pasos, "linea": nombre_linea,
                              "latencia_ms": latencia}
    return resultados


def tunel(banco, a, run, nombre_linea="ilimitada"):
    """Each strategy on two equal catalogues, step by step: the shop reached directly, then the
    other through the SSH tunnel, on the same link."""
    resultados = {}
    linea = dict(LINEAS[nombre_linea])
    latencia = a.latencia_ms if linea["latencia_ms"] is None else linea["latencia_ms"]
    limitada = linea["subida_kbps"] or linea["bajada_kbps"]
    sufijo = "_" + nombre_linea if limitada else ""
    for nombre in a.estrategias:
        n = a.productos_por_producto if nombre == "producto" and a.productos_por_producto else \
            a.productos
        print("\n== Modo de envío «%s»: %d productos, %s ms de latencia en cada sentido%s; directo "
              "y por túnel SSH" % (MODOS[nombre], n, latencia,
                                   ", línea de %d kbit/s de subida y %d de bajada"
                                   % (linea["subida_kbps"], linea["bajada_kbps"])
                                   if limitada else ""), flush=True)
        rutas = {"directo": nombre + sufijo, "tunel": nombre + sufijo + "_tunel"}
        rondas = {ruta: [] for ruta in rutas}
        for ronda in range(a.rondas):
            # Fresh shops each round; every other round the tunnel goes first, so that a machine
            # busy with something else weighs on both alike.
            carpetas = {ruta: banco.preparar(base, n, MODOS[nombre], comprimir=a.comprimir,
                                             tunel=ruta == "tunel")
                        for ruta, base in rutas.items()}
            orden = list(rutas) if ronda % 2 == 0 else list(reversed(list(rutas)))
            pasos = {ruta: [] for ruta in rutas}
            for clave, etiqueta, imagenes, antes in PASOS:
                if imagenes:
                    continue  # the pictures go to the FTP server, never through the tunnel
                if antes == "cambios":
                    for base in rutas.values():
                        banco.srv.sql(catalogo.sql_cambios(n), "pos_" + base)
                for ruta in orden:
                    r = banco.medir(carpetas[ruta], clave, latencia, False,
                                    linea if limitada else None, tunel=ruta == "tunel",
                                    paso=ruta == "directo" and a.paso_directo)
                    r["etiqueta"] = etiqueta
                    pasos[ruta].append(r)
                    enlace = r["enlace"] or r["tienda"]
                    print("  %d %-34s %-7s %8.2f s  %5d viajes  %7.0f kB → %7.0f kB ←  %s" % (
                        ronda + 1, etiqueta, ruta, r["segundos"], r["tienda"]["viajes"],
                        enlace["bytes_al_servidor"] / 1000, enlace["bytes_al_cliente"] / 1000,
                        r["resumen"] or "(sin resumen)"), flush=True)
            for ruta in rutas:
                rondas[ruta].append(pasos[ruta])
        for ruta, base in rutas.items():
            clave = nombre + ("@" + nombre_linea if limitada else "")
            resultados[clave + ("@tunel" if ruta == "tunel" else "")] = {
                "productos": n, "pasos": rondas[ruta][-1], "rondas": rondas[ruta],
                "latencia_ms": latencia,
                "linea": nombre_linea + (", por túnel SSH" if ruta == "tunel" else ""),
                "tienda": "tienda_" + base}
    return resultados


def comparar_tunel(banco, res):
    """Whether the direct and the tunnelled run of each strategy left the same shop."""
    iguales = {}
    for clave, r in res.items():
        if clave.endswith("@tunel"):
            directo = res[clave[:-len("@tunel")]]
            a = banco.srv.volcado(directo["tienda"])
            b = banco.srv.volcado(r["tienda"])
            iguales[clave] = sum(1 for l in difflib.unified_diff(a, b, lineterm="", n=0)
                                 if l[:1] in "+-" and not l.startswith(("+++", "---")))
    return iguales


def informe_tunel(res, iguales):
    print("\n  Coste del túnel SSH (mismo catálogo, misma invocación; objetivo: cada paso ≤ 1,3 × "
          "el directo, sin viajes de más):\n  por ronda: túnel/directo en cada ronda;\n  viajes: los de la sesión MySQL, contados delante de "
          "la base de datos en los dos casos;\n  ráfagas SSH: ráfagas del cliente en el enlace "
          "SSH (también avisos de ventana, que no esperan respuesta);\n  KiB: lo que cruzó el "
          "enlace con latencia en cada sentido")
    cabecera = ["paso", "directo s", "túnel s", "túnel/directo", "por ronda",
                "viajes dir./túnel", "ráfagas SSH", "KiB →/← directo", "KiB →/← túnel",
                "filas ins/camb dir./túnel"]
    for clave, r in res.items():
        if not clave.endswith("@tunel"):
            continue
        directo = res[clave[:-len("@tunel")]]
        rondas = list(zip(directo["rondas"], r["rondas"]))
        print("\n  «%s», %d productos, línea %s, %d ronda%s (tiempos: medianas); tiendas al "
              "final: %s" % (MODOS[clave.split("@")[0]], r["productos"],
                             directo.get("linea", "ilimitada"), len(rondas),
                             "" if len(rondas) == 1 else "s",
                             "IDÉNTICAS" if not iguales.get(clave) else
                             "DISTINTAS (%d líneas)" % iguales[clave]))
        filas = []
        for i, (d, t) in enumerate(zip(directo["pasos"], r["pasos"])):
            sd = statistics.median(pd[i]["segundos"] for pd, _ in rondas)
            st = statistics.median(pt[i]["segundos"] for _, pt in rondas)
            cociente = st / sd if sd else 0
            e = t["enlace"]
            filas.append([
                d["etiqueta"], "%.2f" % sd, "%.2f" % st,
                "%.2f× %s" % (cociente, "≤ 1,3" if cociente <= 1.3 else "> 1,3"),
                " ".join("%.2f" % (pt[i]["segundos"] / pd[i]["segundos"]) for pd, pt in rondas),
                "%d/%d" % (d["tienda"]["viajes"], t["tienda"]["viajes"]), str(e["viajes"]),
                "%.0f/%.0f" % (d["tienda"]["bytes_al_servidor"] / 1024,
                               d["tienda"]["bytes_al_cliente"] / 1024),
                "%.0f/%.0f" % (e["bytes_al_servidor"] / 1024, e["bytes_al_cliente"] / 1024),
                "%d/%d %d/%d" % (d["filas_insertadas"], d["filas_cambiadas"],
                                 t["filas_insertadas"], t["filas_cambiadas"])])
        anchos = [max(len(str(f[i])) for f in [cabecera] + filas) for i in range(len(cabecera))]
        for j, f in enumerate([cabecera] + filas):
            print("  " + "  ".join(str(c).ljust(anchos[i]) if i == 0 else str(c).rjust(anchos[i])
                                   for i, c in enumerate(f)))
            if j == 0:
                print("  " + "  ".join("-" * w for w in anchos))


def comparar(banco, resultados, run):
    """Whether both strategies left the same shop and the same files on the FTP server."""
    if len(resultados) < 2:
        return None
    nl, np_ = resultados["lotes"]["productos"], resultados["producto"]["productos"]
    limite = None if nl == np_ else min(nl, np_)
    a = banco.srv.volcado("tienda_lotes", limite)
    b = banco.srv.volcado("tienda_producto", limite)
    raiz = banco.srv.env["VENDARO_FTP_ROOT"]

    def archivos(nombre):
        d = os.path.join(raiz, nombre)
        return {f: open(os.path.join(d, f), "rb").read() for f in sorted(os.listdir(d))
                if limite is None or int(re.match(r"P(\d+)", f).group(1)) <= limite}

    fa, fb = archivos("lotes"), archivos("producto")
    diff = list(difflib.unified_diff(a, b, "tienda_lotes", "tienda_producto", lineterm="", n=1))
    with open(os.path.join(run, "tienda_lotes.sql"), "w") as f:
        f.write("\n".join(a) + "\n")
    with open(os.path.join(run, "tienda_producto.sql"), "w") as f:
        f.write("\n".join(b) + "\n")
    return {"limitado_a_productos": limite, "tiendas_iguales": not diff,
            "lineas_distintas": sum(1 for l in diff[2:] if l[:1] in "+-"),
            "extracto": diff[:40], "archivos_iguales": fa == fb,
            "archivos": [len(fa), len(fb)]}


def memoria(banco, a):
    """First sends of growing catalogues at no latency, batched: peak memory and time per product."""
    filas = []
    print("\n== Memoria y linealidad: «%s», sin latencia" % MODOS["lotes"], flush=True)
    for n in a.memoria_productos:
        carpeta = banco.preparar("memoria", n, MODOS["lotes"], con_fotos=False)
        r = banco.medir(carpeta, "primer_envio_%d" % n, 0)
        r["productos"] = n
        r["ms_por_producto"] = round(1000 * r["segundos"] / n, 3)
        filas.append(r)
        print("  %7d productos: %8.1f s, %.3f ms por producto, memoria máxima %.0f MiB, "
              "%d sentencias a la tienda" % (n, r["segundos"], r["ms_por_producto"],
                                             (r["memoria_kib"] or 0) / 1024,
                                             r["tienda"]["sentencias_total"]), flush=True)
    return filas


def informe(a, res, comp, mem, run):
    print("\n==== Resultados (latencia %s ms en cada sentido entre Vendaro y la tienda)"
          % (0 if a.memoria else a.latencia_ms))
    print("  sentencias y viajes contados por nuestro relevo (sentencias: las de cada COM_QUERY, "
          "separadas por «;»);\n  filas: Handler_write / Handler_update del servidor (filas "
          "insertadas / filas que cambiaron; el TPV solo se lee);\n  s mín.: viajes a la tienda × "
          "2 × latencia, lo que ningún equipo más rápido ahorra;\n  filas recorridas: "
          "Handler_read_rnd_next, filas leídas por recorridos de tabla sin índice;\n  archivos FTP: subidas "
          "completas en el registro del servidor FTP; MiB máx: /usr/bin/time -v")
    for nombre, r in res.items():
        print("\n  Modo de envío «%s», %d productos, línea %s:" % (MODOS[nombre.split("@")[0]],
                                                                   r["productos"],
                                                                   r.get("linea", "ilimitada")))
        imprimir_tabla([fila_tabla(p) for p in r["pasos"]])
    if any(k.endswith("@tunel") for k in res):
        informe_tunel(res, comp or {})
        comp = None
    res = {k: v for k, v in res.items() if "@" not in k}
    if len(res) == 2:
        nl, np_ = res["lotes"]["productos"], res["producto"]["productos"]
        escala = nl / np_
        print("\n  «por producto» / «por lotes»%s:" % (
            "" if nl == np_ else " (por producto: %d frente a %d productos; cocientes por producto)"
            % (np_, nl)))
        for pl, pp in zip(res["lotes"]["pasos"], res["producto"]["pasos"]):
            def cociente(f):
                x, y = f(pl), f(pp)
                return "%.1f×" % (y * escala / x) if x else ("= 0" if not y else "∞")
            print("    %-34s tiempo %8s  sentencias %8s  viajes %8s" % (
                pl["etiqueta"], cociente(lambda r: r["segundos"]),
                cociente(lambda r: r["tienda"]["sentencias_total"]),
                cociente(lambda r: r["tienda"]["viajes"])))
    if comp:
        lim = comp["limitado_a_productos"]
        print("\n  Estado final de las dos tiendas%s: %s; archivos en el FTP (%d y %d): %s" % (
            "" if lim is None else " (filas de los primeros %d productos)" % lim,
            "IDÉNTICO" if comp["tiendas_iguales"] else
            "DISTINTO (%d líneas)" % comp["lineas_distintas"],
            comp["archivos"][0], comp["archivos"][1],
            "iguales" if comp["archivos_iguales"] else "DISTINTOS"))
        if not comp["tiendas_iguales"]:
            print("    " + "\n    ".join(l[:160] for l in comp["extracto"]))
    if mem:
        print("\n  Memoria (por lotes, sin latencia, primer envío):")
        base = mem[0]["ms_por_producto"]
        for r in mem:
            print("    %7d productos  %8.1f s  %7.3f ms/producto (%.2f × el de %d)  %7d sentencias"
                  "  %7d viajes  %11d filas recorridas  %5.0f MiB %s"
                  % (r["productos"], r["segundos"], r["ms_por_producto"],
                     r["ms_por_producto"] / base if base else 0, mem[0]["productos"],
                     r["tienda"]["sentencias_total"], r["tienda"]["viajes"],
                     r["filas_recorridas"],
                     (r["memoria_kib"] or 0) / 1024,
                     "≤ 200 MiB" if (r["memoria_kib"] or 0) <= 200 * 1024 else "> 200 MiB"))
    print("\n  Resumen legible por programas: %s/resumen.json y %s/resumen.tsv" % (run, run))


def escribir_resumen(a, res, comp, mem, run):
    with open(os.path.join(run, "resumen.json"), "w") as f:
        json.dump({"opciones": vars(a), "estrategias": res, "comparacion": comp,
                   "memoria": mem}, f, indent=1, ensure_ascii=False)
    columnas = ["modo", "productos", "latencia_ms", "paso", "segundos", "codigo_salida",
                "sentencias_tienda", "select_tienda", "insert_tienda", "update_tienda",
                "viajes_tienda", "bytes_a_tienda", "bytes_de_tienda", "sentencias_pos",
                "viajes_pos", "bytes_de_pos", "filas_insertadas", "filas_cambiadas",
                "com_insert", "com_update", "filas_recorridas", "archivos_ftp", "bytes_ftp",
                "memoria_kib", "viajes_enlace_ssh", "bytes_enlace_ssh_subida",
                "bytes_enlace_ssh_bajada"]
    with open(os.path.join(run, "resumen.tsv"), "w") as f:
        f.write("\t".join(columnas) + "\n")
        todas = [(n, r["productos"], r.get("latencia_ms", a.latencia_ms), p) for n, r in res.items()
                 for p in r["pasos"]]
        todas += [("memoria", p["productos"], 0, p) for p in (mem or [])]
        for modo, n, lat, p in todas:
            t, s, d, e = p["tienda"], p["pos"], p["servidor"], p.get("enlace") or {}
            f.write("\t".join(str(x) for x in [
                modo, n, lat, p["paso"], p["segundos"], p["codigo_salida"], t["sentencias_total"],
                t["sentencias"].get("SELECT", 0), t["sentencias"].get("INSERT", 0),
                t["sentencias"].get("UPDATE", 0), t["viajes"], t["bytes_al_servidor"],
                t["bytes_al_cliente"], s["sentencias_total"], s["viajes"], s["bytes_al_cliente"],
                p["filas_insertadas"], p["filas_cambiadas"], d["Com_insert"], d["Com_update"],
                p["filas_recorridas"], p["archivos_ftp"], p["bytes_ftp"], p["memoria_kib"],
                e.get("viajes", ""), e.get("bytes_al_servidor", ""),
                e.get("bytes_al_cliente", "")]) + "\n")


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--productos", type=int, default=10000, help="catalogue size (10000)")
    p.add_argument("--latencia-ms", type=float, default=10,
                   help="delay added in each direction to the shop; 0 adds none (the relay "
                   "still counts) (10)")
    p.add_argument("--estrategias", default=None,
                   help="which values of «Modo de envío»: lotes, producto or both (lotes,producto; "
                   "with --tunel: lotes)")
    p.add_argument("--productos-por-producto", type=int, default=0,
                   help="a smaller catalogue for the per-product run; ratios are then per product")
    p.add_argument("--lineas", default=None,
                   help="links to run on: ilimitada (only the latency), domestica (20 ms, 10 Mbit/s "
                   "down, 2 Mbit/s up, one line shared by every connection) (ilimitada,domestica; "
                   "with --tunel: ilimitada)")
    p.add_argument("--estrategias-linea", default="lotes",
                   help="the strategies run on a limited line (lotes)")
    p.add_argument("--comprimir", type=int, default=1,
                   help="«Comprimir conexión WEB» of the runs (1)")
    p.add_argument("--tunel", action="store_true",
                   help="instead: the first, unchanged and 1 %% changed sends, each run directly and "
                   "then through a throwaway SSH server with the latency in front of it, side by "
                   "side on equal catalogues")
    p.add_argument("--paso-directo", type=int, default=1,
                   help="with --tunel: the direct run also crosses a relay without delay, as the "
                   "tunnelled one does behind the SSH server (1)")
    p.add_argument("--rondas", type=int, default=1,
                   help="with --tunel: how many times the three steps run on fresh shops; times "
                   "are the medians (1)")
    p.add_argument("--memoria", action="store_true",
                   help="instead: first sends at 0 ms, batched, of --memoria-productos products")
    p.add_argument("--memoria-productos", default="10000,50000,100000")
    p.add_argument("--carpeta", default=os.path.join(RAIZ, "bench-run"),
                   help="where each run gets its folder (bench-run/)")
    p.add_argument("--conservar", action="store_true",
                   help="leave the servers running (stop them with scripts/servers.sh stop DIR)")
    p.add_argument("--vendaro", required=True)
    p.add_argument("--proxy", required=True)
    a = p.parse_args()
    if a.estrategias is None:
        a.estrategias = "lotes" if a.tunel else "lotes,producto"
    if a.lineas is None:
        a.lineas = "ilimitada" if a.tunel else "ilimitada,domestica"
    a.estrategias = [e.strip() for e in a.estrategias.split(",") if e.strip()]
    if not a.estrategias or any(e not in MODOS for e in a.estrategias):
        p.error("--estrategias takes lotes, producto or lotes,producto")
    a.estrategias.sort()  # lotes first
    a.estrategias_linea = [e.strip() for e in a.estrategias_linea.split(",") if e.strip()]
    a.lineas = [l.strip() for l in a.lineas.split(",") if l.strip()]
    if any(l not in LINEAS for l in a.lineas):
        p.error("--lineas takes ilimitada, domestica or both")
    a.memoria_productos = [int(x) for x in a.memoria_productos.split(",")]

    run = os.path.join(a.carpeta, datetime.datetime.now().strftime("%Y%m%d-%H%M%S"))
    os.makedirs(run)
    print("Carpeta de la medición: %s" % run, flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(130))
    banco = Banco(a, run)
    res, comp, mem = {}, None, None
    try:
        if a.memoria:
            mem = memoria(banco, a)
        elif a.tunel:
            catalogo.fotos(max(a.productos, a.productos_por_producto), banco.fotos)
            for linea in a.lineas:
                res.update(tunel(banco, a, run, linea))
            comp = comparar_tunel(banco, res)
        else:
            n_fotos = catalogo.fotos(max(a.productos, a.productos_por_producto), banco.fotos)
            print("Catálogo generado; %d archivos de imagen en %s" % (n_fotos, banco.fotos))
            for linea in a.lineas:
                r = estrategias(banco, a, run, linea)
                if linea == "ilimitada":
                    res.update(r)
                    comp = comparar(banco, r, run)
                else:
                    res.update({k + "@" + linea: v for k, v in r.items()})
        escribir_resumen(a, res, comp, mem, run)
        informe(a, res, comp, mem, run)
    finally:
        for proceso in Relevo.vivos:
            if proceso.poll() is None:
                proceso.kill()
        if a.conservar:
            print("Servidores en marcha: scripts/servers.sh stop %s" % banco.srv.carpeta)
        else:
            banco.srv.parar()


if __name__ == "__main__":
    main()
