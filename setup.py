"""setup.py -- builds the tessera Python package with its extension module.

The extension compiles the library's own sources, the TESSERA_CHECK_SOURCES
list of the top CMakeLists.txt, so the package needs nothing installed
besides a C++20 compiler, and its answers are the library's. The version is
the one project() gives there.
"""

import hashlib
import os
import re
import sys

from setuptools import Extension, setup

HERE = os.path.dirname(os.path.abspath(__file__))


def cmake_text():
    with open(os.path.join(HERE, "CMakeLists.txt"), encoding="utf-8") as cmake:
        return cmake.read()


def check_sources(cmake):
    """The library's sources and headers, as the CMake build lists them."""
    found = re.search(r"set\(TESSERA_CHECK_SOURCES\s([^)]*)\)", cmake)
    if not found:
        sys.exit("setup.py: no TESSERA_CHECK_SOURCES in CMakeLists.txt")
    names = found.group(1).split()
    return [name for name in names if name.endswith(".cpp")], [name for name in names if name.endswith(".h")]


def version(cmake):
    found = re.search(r"project\(Tessera\s+VERSION\s+([0-9.]+)", cmake)
    if not found:
        sys.exit("setup.py: no project(Tessera VERSION ...) in CMakeLists.txt")
    return found.group(1)


def compile_args():
    if sys.platform == "win32" and "GCC" not in sys.version:
        return ["/std:c++20", "/W4"]
    return ["-std=c++20", "-fvisibility=hidden", "-Wall", "-Wextra", "-Wpedantic", "-Wconversion", "-Wshadow"]


cmake = cmake_text()
sources, headers = check_sources(cmake)
# One folder per interpreter, beside CMake's own build folders.
build_base = os.path.join("build", "python", sys.implementation.cache_tag + "-" +
                          hashlib.sha256(sys.base_prefix.encode()).hexdigest()[:8])
os.makedirs(os.path.join(HERE, build_base), exist_ok=True)
extension = Extension(
    "tessera._tessera",
    sources=["bindings/python/src/tessera_module.cpp"] + sources,
    depends=headers + ["include/tessera.h", "bindings/python/src/docstrings.h"],
    include_dirs=[".", "include"],
    language="c++",
    define_macros=[("TESSERA_VERSION", '"%s"' % version(cmake))],
    extra_compile_args=compile_args(),
)

# The finder and redactor, a module of their own.
scan_extension = Extension(
    "tessera._scan",
    sources=["bindings/python/src/scan_module.cpp"] + sources,
    depends=headers + ["include/tessera_scan.h"],
    include_dirs=[".", "include"],
    language="c++",
    extra_compile_args=compile_args(),
)

setup(
    version=version(cmake),
    package_dir={"": "bindings/python"},
    packages=["tessera"],
    package_data={"tessera": ["py.typed", "*.pyi"]},
    ext_modules=[extension, scan_extension],
    options={"build": {"build_base": build_base}, "egg_info": {"egg_base": build_base}},
)
