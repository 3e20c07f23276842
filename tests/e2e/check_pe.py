#!/usr/bin/env python3
"""Checks kelmora.exe as a file: what Windows 95 to 11 need to load it, the functions it may
import, no start-up work hidden from its entry point, its size and its resources. Prints its
size by section. Exit code 1 on any failure.

    check_pe.py kelmora.exe [--template res/help.htm] [--map kelmora.map]
"""

import argparse
import re
import struct
import sys

# Every one of them exists on Windows 95 and NT 3.51; msvcrt.dll does not on the first.
ALLOWED_IMPORTS = {
    "kernel32.dll": set("""GetModuleFileNameA GetFileAttributesA FindFirstFileA FindNextFileA
        FindClose CreateFileA GetFileSize ReadFile WriteFile CloseHandle DeleteFileA GetTempPathA
        FindResourceA LoadResource SizeofResource LockResource GetModuleHandleA ExitProcess
        GetProcessHeap HeapAlloc HeapReAlloc HeapFree IsDBCSLeadByte""".split()),
    "user32.dll": set("""RegisterClassA LoadIconA LoadCursorA CreateWindowExA PostMessageA
        GetMessageA TranslateMessage DispatchMessageA DefWindowProcA PostQuitMessage
        DestroyWindow MessageBeep MessageBoxA wsprintfA""".split()),
    "shell32.dll": {"ShellExecuteA"},
}
# Start-up work that only a C runtime performs; with none linked it would never happen.
# PE section names are cut to 8 bytes.
RUNTIME_SECTIONS = {".tls", ".CRT", ".eh_fram", ".eh_frame"}
IMAGE_DIRECTORY_ENTRY_TLS = 9
MAX_SIZE = 20480
ENGLISH_US = 1033
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_HTML, RT_MANIFEST = 3, 14, 16, 23, 24


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, self.pe + 4)
        self.optional = self.pe + 24
        self.magic = struct.unpack_from("<H", data, self.optional)[0]
        self.subsystem_version = struct.unpack_from("<HH", data, self.optional + 48)
        self.subsystem = struct.unpack_from("<H", data, self.optional + 68)[0]
        directories = struct.unpack_from("<I", data, self.optional + 92)[0]
        self.directories = [struct.unpack_from("<II", data, self.optional + 96 + 8 * i)
                            for i in range(min(directories, 16))]
        self.sections = []
        at = self.optional + optional_size
        for _ in range(sections):
            name, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, at)
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), vsize, vaddr, rawsize,
                                  rawptr))
            at += 40

    def Offset(self, rva):
        for _, vsize, vaddr, rawsize, rawptr in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rawptr + rva - vaddr
        raise ValueError("RVA %#x is in no section" % rva)

    def CString(self, rva):
        start = self.Offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def Imports(self):
        """{dll name: [function names]}"""
        rva, size = self.directories[1]
        imports = {}
        at = self.Offset(rva) if size else None
        while at is not None:
            lookup, _, _, name, thunk = struct.unpack_from("<IIIII", self.data, at)
            if not (lookup or name or thunk):
                break
            functions = []
            entry = self.Offset(lookup or thunk)
            while True:
                value = struct.unpack_from("<I", self.data, entry)[0]
                if not value:
                    break
                functions.append("#%d" % (value & 0xFFFF) if value & 0x80000000
                                 else self.CString(value + 2))
                entry += 4
            imports[self.CString(name)] = functions
            at += 20
        return imports

    def Resources(self):
        """{(type, name, language): bytes}; named entries keep their names as text."""
        rva, size = self.directories[2]
        if not size:
            return {}
        base = self.Offset(rva)
        found = {}

        def Walk(offset, path):
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if ident & 0x80000000:
                    at = base + (ident & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", self.data, at)[0]
                    ident = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                if target & 0x80000000:
                    Walk(target & 0x7FFFFFFF, path + (ident,))
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + target)
                    start = self.Offset(data_rva)
                    found[path + (ident,)] = self.data[start:start + data_size]

        Walk(0, ())
        return found


def ConstructorSections(map_path):
    """Input sections that the link map shows in the constructor and destructor lists."""
    with open(map_path, encoding="latin-1") as link_map:
        text = link_map.read()
    text = text.split("Linker script and memory map", 1)[-1]
    # " .ctors.65535   0x00402194   0x4 file", the name alone on its line when it is long.
    found = re.findall(r"^ (\.[cd]tors?(?:\.\S+)?)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(.+)$", text,
                       re.MULTILINE)
    return ["%s of %s" % (name, source) for name, size, source in found if int(size, 16)]


def Check(path, template_path, map_path):
    failures = []

    def Expect(condition, text):
        if not condition:
            failures.append(text)

    with open(path, "rb") as exe:
        data = exe.read()
    pe = PE(data)
    Expect(pe.machine == 0x14C, "machine %#x, not i386" % pe.machine)
    Expect(pe.magic == 0x10B, "optional header magic %#x, not PE32" % pe.magic)
    Expect(pe.subsystem == 2, "subsystem %d, not the Windows GUI (2)" % pe.subsystem)
    Expect(pe.subsystem_version == (4, 0),
           "subsystem version %d.%d, not 4.0" % pe.subsystem_version)

    Expect(len(data) <= MAX_SIZE, "%d bytes, more than %d" % (len(data), MAX_SIZE))

    imports = pe.Imports()
    for dll in sorted(imports):
        print("imports %-12s %s" % (dll, " ".join(sorted(imports[dll]))))
        extra = sorted(set(imports[dll]) - ALLOWED_IMPORTS.get(dll.lower(), set()))
        Expect(not extra, "imports from %s: %s" % (dll, " ".join(extra)))

    Expect(not pe.directories[IMAGE_DIRECTORY_ENTRY_TLS][1], "a TLS directory")
    names = [section[0] for section in pe.sections]
    Expect(not RUNTIME_SECTIONS.intersection(names),
           "runtime sections %s" % sorted(RUNTIME_SECTIONS.intersection(names)))
    if map_path:
        constructors = ConstructorSections(map_path)
        Expect(not constructors, "global constructors or destructors: %s" % ", ".join(constructors))

    resources = pe.Resources()
    for key in sorted(resources, key=str):
        print("resource type %s id %s language %s: %d bytes" % (key + (len(resources[key]),)))
    Expect(all(len(key) == 3 and key[2] == ENGLISH_US for key in resources),
           "resources outside English (United States): %s"
           % [key for key in resources if len(key) != 3 or key[2] != ENGLISH_US])
    template = resources.get((RT_HTML, 101, ENGLISH_US))
    Expect(template is not None, "no help page template 101 of type 23 under 1033")
    if template is not None and template_path:
        with open(template_path, "rb") as source:
            Expect(template == source.read(),
                   "template 101 differs from %s byte for byte" % template_path)
    group = resources.get((RT_GROUP_ICON, 103, ENGLISH_US))
    Expect(group is not None, "no icon group 103 under 1033")
    if group is not None:
        reserved, kind, count = struct.unpack_from("<HHH", group, 0)
        entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
        sizes = [(e[0] or 256, e[1] or 256, e[5]) for e in entries]
        Expect(kind == 1 and sizes == [(32, 32, 4), (16, 16, 4)],
               "icon group 103 holds %r, not 32x32 then 16x16 at 4 bits" % sizes)
        for entry in entries:
            Expect((RT_ICON, entry[7], ENGLISH_US) in resources,
                   "icon image %d of group 103 is missing" % entry[7])
    Expect((RT_VERSION, 1, ENGLISH_US) in resources, "no VERSIONINFO")
    manifest = resources.get((RT_MANIFEST, 1, ENGLISH_US), b"")
    Expect(b"asInvoker" in manifest, "no manifest asking for asInvoker")

    code = sum(raw for name, _, _, raw, _ in pe.sections if name != ".rsrc")
    rsrc = sum(raw for name, _, _, raw, _ in pe.sections if name == ".rsrc")
    print("size %d bytes: %d in code and data (%s), %d in resources" % (
        len(data), code, ", ".join("%s %d" % (s[0], s[3]) for s in pe.sections
                                   if s[0] != ".rsrc"), rsrc))
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("exe")
    parser.add_argument("--template", help="the help page template the exe must carry")
    parser.add_argument("--map", help="the exe's link map, to look for global constructors")
    args = parser.parse_args()
    try:
        failures = Check(args.exe, args.template, args.map)
    except (ValueError, struct.error) as error:
        failures = ["not a readable PE file: %s" % error]
    for failure in failures:
        print("FAIL " + failure)
    print("%s: %s" % (args.exe, "FAILED" if failures else "ok"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
