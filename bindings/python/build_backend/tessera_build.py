"""tessera_build -- setuptools' build backend, writing the wheel itself where setuptools cannot.

Before version 70.1, setuptools needs the separate wheel package to build a
wheel, and pip then stops with "invalid command 'bdist_wheel'". A Python
built apart from the system's packages (pyenv, a fresh venv) often lacks it
and, offline, cannot fetch it. Where it is missing, setup.py still builds
the package and this module zips the result into a wheel; everywhere else
setuptools does all of the work.
"""

import base64
import hashlib
import os
import subprocess
import sys
import sysconfig
import tempfile
import zipfile

from setuptools import build_meta as _setuptools

get_requires_for_build_sdist = _setuptools.get_requires_for_build_sdist
build_sdist = _setuptools.build_sdist
get_requires_for_build_wheel = _setuptools.get_requires_for_build_wheel


def _setuptools_writes_wheels():
    for module in ("setuptools.command.bdist_wheel", "wheel.bdist_wheel"):
        try:
            __import__(module)
        except ImportError:
            continue
        return True
    return False


if _setuptools_writes_wheels():
    prepare_metadata_for_build_wheel = _setuptools.prepare_metadata_for_build_wheel
    build_wheel = _setuptools.build_wheel
    if hasattr(_setuptools, "build_editable"):
        get_requires_for_build_editable = _setuptools.get_requires_for_build_editable
        prepare_metadata_for_build_editable = _setuptools.prepare_metadata_for_build_editable
        build_editable = _setuptools.build_editable
else:
    def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
        with tempfile.TemporaryDirectory() as work:
            lib = os.path.join(work, "lib")
            subprocess.run([sys.executable, "setup.py", "--quiet", "egg_info", "--egg-base", work,
                            "build", "--build-lib", lib], check=True, stdout=sys.stderr)
            (egg_info,) = [os.path.join(work, name) for name in os.listdir(work) if name.endswith(".egg-info")]
            return _zip_wheel(wheel_directory, lib, egg_info)


def _tag():
    version = "%d%d" % sys.version_info[:2]
    interpreter = {"cpython": "cp"}.get(sys.implementation.name, sys.implementation.name)
    soabi = sysconfig.get_config_var("SOABI") or ""
    abi = interpreter + soabi.split("-")[1] if soabi.count("-") >= 1 else "none"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return "%s%s-%s-%s" % (interpreter, version, abi, platform)


def _metadata(egg_info):
    fields = {}
    with open(os.path.join(egg_info, "PKG-INFO"), encoding="utf-8") as info:
        text = info.read()
    for line in text.splitlines():
        if not line:
            break
        name, _, value = line.partition(": ")
        fields.setdefault(name, value)
    return text, fields["Name"], fields["Version"]


def _zip_wheel(wheel_directory, lib, egg_info):
    metadata, name, version = _metadata(egg_info)
    dist_info = "%s-%s.dist-info" % (name, version)
    tag = _tag()
    files = {}
    for root, _, names in os.walk(lib):
        for file_name in sorted(names):
            path = os.path.join(root, file_name)
            with open(path, "rb") as content:
                files[os.path.relpath(path, lib).replace(os.sep, "/")] = content.read()
    files[dist_info + "/METADATA"] = metadata.encode("utf-8")
    files[dist_info + "/WHEEL"] = (
        "Wheel-Version: 1.0\nGenerator: tessera_build\nRoot-Is-Purelib: false\nTag: %s\n" % tag).encode("ascii")
    with open(os.path.join(egg_info, "top_level.txt"), "rb") as top_level:
        files[dist_info + "/top_level.txt"] = top_level.read()
    record = []
    for path, content in files.items():
        digest = base64.urlsafe_b64encode(hashlib.sha256(content).digest()).rstrip(b"=").decode("ascii")
        record.append("%s,sha256=%s,%d" % (path, digest, len(content)))
    record.append(dist_info + "/RECORD,,")
    files[dist_info + "/RECORD"] = ("\n".join(record) + "\n").encode("utf-8")
    wheel_name = "%s-%s-%s.whl" % (name.replace("-", "_"), version, tag)
    with zipfile.ZipFile(os.path.join(wheel_directory, wheel_name), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, content in files.items():
            wheel.writestr(path, content)
    return wheel_name
