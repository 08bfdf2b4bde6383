#!/usr/bin/python3
"""Proves the installed package's dependencies (run after apt-get install ./zolven_*.deb).

    check_deps.py --build <build dir>

Every QML module the window's documents import, with the modules those import in turn (their
qmldir's import and depends lines), and every shared library that the program, config.dat, the
QML plugins and Qt's xcb platform plugin link, must belong to a package that zolven depends on,
directly or through the dependency closure. The qml6-module-* packages zolven names itself must
each be needed by an import (dpkg-shlibdeps cannot find them; the list is kept by hand).
"""

import argparse
import glob
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

SOURCE = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                       ".."))
PROGRAM = ("/usr/lib/zolven/ZOLVEN", "/usr/lib/zolven/zolvend", "/usr/lib/zolven/config.dat")
DATA = ("/usr/share/misc/pci.ids",)
IMPORT = re.compile(r"^\s*import\s+([A-Za-z_][\w.]*)", re.M)
QMLDIR_LINK = re.compile(r"^\s*(?:import|depends)\s+([A-Za-z_][\w.]*)", re.M)

failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def bare(name):
    return name.split(":")[0].strip()


def installed_packages():
    """{package: (depends groups, provides)} of every installed package."""
    out = subprocess.run(["dpkg-query", "-W", "-f",
                          "${db:Status-Abbrev}\t${Package}\t${Provides}\t${Pre-Depends}, "
                          "${Depends}\n"], capture_output=True, text=True, check=True).stdout
    packages, providers = {}, {}
    for line in out.splitlines():
        status, name, provides, depends = line.split("\t")
        if not status.startswith("ii"):
            continue
        groups = []
        for group in depends.split(","):
            alternatives = [bare(re.sub(r"\(.*?\)", "", a)) for a in group.split("|")]
            if any(alternatives):
                groups.append([a for a in alternatives if a])
        packages[name] = groups
        for p in provides.split(","):
            p = bare(re.sub(r"\(.*?\)", "", p))
            if p:
                providers.setdefault(p, []).append(name)
    return packages, providers


def closure(root, packages, providers):
    seen, todo = set(), [root]
    while todo:
        name = todo.pop()
        for real in ([name] if name in packages else providers.get(name, [])):
            if real in seen:
                continue
            seen.add(real)
            for group in packages[real]:
                # Any installed alternative may be the one that satisfies the group.
                todo.extend(group)
    return seen


def owner(path):
    # Merged /usr: dpkg may know the file under either name.
    candidates = [path, os.path.realpath(path)]
    for p in list(candidates):
        if p.startswith("/usr/lib/"):
            candidates.append(p[len("/usr"):])
        elif p.startswith("/lib/"):
            candidates.append("/usr" + p)
    for p in candidates:
        result = subprocess.run(["dpkg", "-S", p], capture_output=True, text=True)
        if result.returncode == 0:
            return bare(result.stdout.split(":", 1)[0].split(",")[0])
    return None


def compiled_documents(build):
    """The documents the program is built from: on Qt 6.4 the glow is the Qt5Compat one, and
    the MultiEffect document is left out."""
    documents = []
    for qrc in glob.glob(os.path.join(build, "ZOLVEN", ".rcc", "*.qrc")):
        for f in ET.parse(qrc).getroot().iter("file"):
            if f.text and f.text.endswith(".qml"):
                documents.append(f.text)
    sources = sorted(glob.glob(os.path.join(SOURCE, "ZOLVEN", "**", "*.qml"), recursive=True))
    left_out = sorted(set(sources) - set(documents))
    if left_out:
        print("documents this Qt does not build:", *[os.path.relpath(p, SOURCE) for p in left_out])
    if not documents:
        fail(f"no compiled documents listed under {build}/ZOLVEN/.rcc")
    return documents


def registered_by_program():
    """Modules the program registers itself (qmlRegisterType("URI", ...))."""
    uris = set()
    for path in glob.glob(os.path.join(SOURCE, "app", "*.cpp")):
        with open(path, encoding="utf-8") as f:
            uris.update(re.findall(r'qmlRegisterType<[^>]*>\("([^"]+)"', f.read()))
    return uris


def qml_root():
    for tool in glob.glob("/usr/lib/qt6/bin/qtpaths*") + ["qtpaths6"]:
        try:
            out = subprocess.run([tool, "-query", "QT_INSTALL_QML"], capture_output=True,
                                 text=True).stdout.strip()
        except OSError:
            continue
        if out and os.path.isdir(out):
            return out
    found = glob.glob("/usr/lib/*/qt6/qml")
    return found[0] if found else None


def module_closure(imports, root):
    """{module: its folder} for the imports and everything their qmldir files import."""
    folders, todo = {}, list(imports)
    while todo:
        module = todo.pop()
        if module in folders:
            continue
        folder = os.path.join(root, *module.split("."))
        qmldir = os.path.join(folder, "qmldir")
        if not os.path.isfile(qmldir):
            fail(f"QML module {module} is not installed ({qmldir})")
            folders[module] = None
            continue
        folders[module] = folder
        with open(qmldir, encoding="utf-8") as f:
            todo.extend(QMLDIR_LINK.findall(f.read()))
    return folders


def linked_libraries(binary):
    out = subprocess.run(["ldd", binary], capture_output=True, text=True).stdout
    libraries = []
    for line in out.splitlines():
        if "not found" in line:
            fail(f"{binary}: {line.strip()}")
        m = re.search(r"=>\s+(/\S+)", line) or re.match(r"\s*(/\S+)", line)
        if m:
            libraries.append(m.group(1))
    return libraries


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    args = ap.parse_args()

    packages, providers = installed_packages()
    if "zolven" not in packages:
        fail("zolven is not installed")
        return 1
    needed_by_zolven = closure("zolven", packages, providers)
    print(f"zolven's dependency closure: {len(needed_by_zolven)} packages")

    imports = set()
    for document in compiled_documents(args.build):
        with open(document, encoding="utf-8") as f:
            imports.update(IMPORT.findall(f.read()))
    imports -= registered_by_program()
    root = qml_root()
    if not root:
        fail("no QML import folder")
        return 1
    modules = module_closure(sorted(imports), root)
    qml_packages = set()
    binaries = list(PROGRAM) + glob.glob(os.path.join(
        os.path.dirname(root), "plugins", "platforms", "libqxcb.so")) + glob.glob(
        os.path.join(os.path.dirname(root), "plugins", "xcbglintegrations", "*.so"))
    for module, folder in sorted(modules.items()):
        if not folder:
            continue
        package = owner(os.path.join(folder, "qmldir"))
        qml_packages.add(package)
        print(f"QML {module}: {package}")
        if package not in needed_by_zolven:
            fail(f"QML module {module} comes from {package}, which zolven does not depend on")
        binaries += glob.glob(os.path.join(folder, "*.so"))

    libraries = {}
    for binary in binaries:
        if not os.path.exists(binary):
            fail(f"{binary} is missing")
            continue
        for library in linked_libraries(binary):
            libraries.setdefault(library, binary)
    for library, user in sorted(libraries.items()):
        package = owner(library)
        if package not in needed_by_zolven:
            fail(f"{library} (linked by {user}) comes from {package}, "
                 f"which zolven does not depend on")
    print(f"{len(libraries)} shared libraries of {len(binaries)} binaries checked")
    for path in DATA:
        package = owner(path)
        if package not in needed_by_zolven:
            fail(f"{path} comes from {package}, which zolven does not depend on")

    named = {g[0] for g in packages["zolven"] if len(g) == 1 and g[0].startswith("qml6-module-")}
    for stale in sorted(named - qml_packages):
        fail(f"zolven depends on {stale}, which no document imports")

    print(f"package dependencies: {len(failures)} failed" if failures
          else "package dependencies: all owned by zolven's closure")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
