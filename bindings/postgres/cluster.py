"""cluster.py -- a throwaway PostgreSQL cluster with the extension installed, for the test and the benchmark

The server's own files are copied into a temporary tree and the extension is
installed there (DESTDIR), so nothing outside the temporary folder changes.
The cluster, made with initdb, runs from that tree on a private Unix socket,
no TCP; as root the server runs as the user postgres (or nobody), since
initdb refuses root.
"""

import ctypes
import ctypes.util
import os
import pwd
import shutil
import subprocess
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
# Named as Debian names it. A superuser named tessera would find the
# extension's schema on the default search_path ("$user"), which hides
# schema-qualified names in messages that users elsewhere see.
SUPERUSER = "postgres"


def missing():
    """Why no cluster can be made here, or None."""
    if shutil.which(os.environ.get("PG_CONFIG", "pg_config")) is None:
        return "no pg_config: install postgresql-15 and postgresql-server-dev-15"
    if shutil.which("make") is None:
        return "no make"
    bindir = Path(pg_config("--bindir"))
    if not all((bindir / name).exists() for name in ("initdb", "pg_ctl", "postgres", "psql")):
        return f"no server in {bindir}: install postgresql-15"
    if not (Path(pg_config("--includedir-server")) / "postgres.h").exists():
        return "no server headers: install postgresql-server-dev-15"
    if ctypes.util.find_library("pq") is None:
        return "no libpq: install libpq5"
    if os.geteuid() == 0 and server_user() is None:
        return "running as root and there is no user postgres or nobody to run the server"
    return None


def server_user():
    """Whom the server runs as: the caller, or when that is root, postgres or nobody."""
    if os.geteuid() != 0:
        return None
    for name in ("postgres", "nobody"):
        try:
            pwd.getpwnam(name)
            return name
        except KeyError:
            pass
    return None


def run(command, **options):
    return subprocess.run(command, check=True, text=True, capture_output=True, **options)


def pg_config(option):
    return run([os.environ.get("PG_CONFIG", "pg_config"), option]).stdout.strip()


class Cluster:
    """A server from a private copy of the installed one, on a Unix socket in `work`."""

    def __init__(self, work):
        self.work = work
        self.tree = work / "root"
        self.bindir = Path(pg_config("--bindir"))
        self.socket = work / "socket"
        self.data = work / "data"
        self.server_user = server_user()

    def copy_server(self):
        for option in ("--bindir", "--pkglibdir", "--sharedir"):
            where = Path(pg_config(option))
            shutil.copytree(where, self.tree / where.relative_to("/"), symlinks=True,
                            ignore=shutil.ignore_patterns("bitcode"), dirs_exist_ok=True)

    def as_server(self, command):
        if self.server_user is None:
            return command
        return ["runuser", "-u", self.server_user, "--"] + command

    def binary(self, name):
        return str(self.tree / self.bindir.relative_to("/") / name)

    def start(self, settings=()):
        """initdb and start; `settings` are more NAME=VALUE server settings."""
        self.socket.mkdir()
        if self.server_user is not None:
            entry = pwd.getpwnam(self.server_user)
            for path in [self.work, *self.work.rglob("*")]:
                os.lchown(path, entry.pw_uid, entry.pw_gid)
        run(self.as_server([self.binary("initdb"), "-D", str(self.data), "--auth=trust", f"--username={SUPERUSER}",
                            "--encoding=UTF8", "--locale=C", "--no-sync"]))
        options = " ".join(f"-c {setting}" for setting in (
            "listen_addresses=''", f"unix_socket_directories='{self.socket}'", "fsync=off", *settings))
        run(self.as_server([self.binary("pg_ctl"), "-D", str(self.data), "-l", str(self.work / "server.log"),
                            "-o", options, "-w", "start"]))

    def stop(self):
        if (self.data / "postmaster.pid").exists():
            subprocess.run(self.as_server([self.binary("pg_ctl"), "-D", str(self.data), "-m", "immediate", "-w", "stop"]),
                           capture_output=True)

    def psql(self, sql, database="postgres", user=SUPERUSER):
        """(succeeded, output, errors) of a script, stopping at its first error."""
        done = subprocess.run([self.binary("psql"), "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1", "-h", str(self.socket),
                               "-U", user, "-d", database], input=sql, text=True, capture_output=True)
        return done.returncode == 0, done.stdout, done.stderr

    def bound(self, sql, parameters, settings=(), database="postgres", user=SUPERUSER):
        """Runs the statements `settings`, then `sql` with its text `parameters` sent apart from it, as
        drivers send them; the error message, or None."""
        libpq = _libpq()
        connection = libpq.PQconnectdb(f"host={self.socket} dbname={database} user={user}".encode())
        try:
            if libpq.PQstatus(connection) != 0:
                return libpq.PQerrorMessage(connection).decode()
            for statement, values in [*((setting, []) for setting in settings), (sql, parameters)]:
                array = (ctypes.c_char_p * len(values))(*(value.encode() for value in values))
                result = libpq.PQexecParams(connection, statement.encode(), len(values), None, array, None, None, 0)
                message = libpq.PQresultErrorMessage(result).decode()
                libpq.PQclear(result)
                if message:
                    return message
            return None
        finally:
            libpq.PQfinish(connection)


def _libpq():
    libpq = ctypes.CDLL(ctypes.util.find_library("pq"))
    pointer = ctypes.c_void_p
    for name, result, arguments in (
            ("PQconnectdb", pointer, [ctypes.c_char_p]), ("PQstatus", ctypes.c_int, [pointer]),
            ("PQerrorMessage", ctypes.c_char_p, [pointer]), ("PQfinish", None, [pointer]),
            ("PQexecParams", pointer, [pointer, ctypes.c_char_p, ctypes.c_int, pointer,
                                       ctypes.POINTER(ctypes.c_char_p), pointer, pointer, ctypes.c_int]),
            ("PQresultErrorMessage", ctypes.c_char_p, [pointer]), ("PQclear", None, [pointer])):
        function = getattr(libpq, name)
        function.restype, function.argtypes = result, arguments
    return libpq


def install_with_pgxs(cluster, build):
    build.mkdir()
    make = ["make", "-s", "-f", str(SOURCE / "bindings" / "postgres" / "Makefile"), f"-j{min(os.cpu_count() or 1, 2)}",
            f"PG_CONFIG={os.environ.get('PG_CONFIG', 'pg_config')}"]
    run(make, cwd=build)
    run(make + ["install", f"DESTDIR={cluster.tree}"], cwd=build)


def install_with_cmake(cluster, build_dir):
    run(["cmake", "--install", build_dir, "--component", "postgresql"], env={**os.environ, "DESTDIR": str(cluster.tree)})
