"""Reads what the release tools need from a PE file (PE32 or PE32+): the headers'
time stamp, checksum, symbol table and certificate table, the sections, and
the resource tree with each resource's size and bytes, and the functions the
import and delay-import tables name."""
import struct

RT_ICON, RT_BITMAP, RT_GROUP_ICON, RT_VERSION = 3, 2, 14, 16


class PeError(ValueError):
    pass


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("not an executable (no MZ header)")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE header")
        (self.machine, count, self.timestamp, self.symbol_table, self.symbol_count,
         optional_size, self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        if magic not in (0x10B, 0x20B):
            raise PeError("not a PE32 or PE32+ image")
        self.bits = 32 if magic == 0x10B else 64
        self.image_base = struct.unpack_from("<I" if self.bits == 32 else "<Q", data, opt + (28 if self.bits == 32 else 24))[0]
        # PE32+ has 64-bit image base and stack and heap sizes: 16 bytes more
        # before the data directories.
        directory_at = opt + (96 if self.bits == 32 else 112)
        self.checksum_offset = opt + 64
        self.checksum = struct.unpack_from("<I", data, self.checksum_offset)[0]
        directories = struct.unpack_from("<I", data, directory_at - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directory_at + 8 * i) for i in range(directories)]
        self.sections = []
        for i in range(count):
            raw = struct.unpack_from("<8sIIII", data, opt + optional_size + 40 * i)
            self.sections.append((raw[0].rstrip(b"\0").decode("ascii", "replace"),) + raw[1:])

    @property
    def certificate_table(self):
        """(file offset, size) of the Authenticode signature, (0, 0) when unsigned."""
        return self.directories[4] if len(self.directories) > 4 else (0, 0)

    def offset_of(self, rva):
        for _, vsize, vaddr, rsize, raw in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rsize):
                return raw + rva - vaddr
        raise PeError("address 0x%x lies in no section" % rva)

    def resources(self):
        """[(type, name, language, bytes)], with numeric or text types and names."""
        rva, size = self.directories[2] if len(self.directories) > 2 else (0, 0)
        if not size:
            return []
        base = self.offset_of(rva)
        out = []

        def key(raw):
            if raw & 0x80000000:
                at = base + (raw & 0x7FFFFFFF)
                n = struct.unpack_from("<H", self.data, at)[0]
                return self.data[at + 2:at + 2 + 2 * n].decode("utf-16-le")
            return raw

        def walk(offset, path):
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + ids):
                raw, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + [key(raw)])
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.data, base + target)
                    at = self.offset_of(data_rva)
                    out.append(tuple(path) + (key(raw), self.data[at:at + data_size]))

        walk(0, [])
        return out

    def resource_directory_stamps(self):
        """Time stamps of every directory of the resource tree."""
        rva, size = self.directories[2]
        base = self.offset_of(rva)
        stamps = []

        def walk(offset):
            stamps.append(struct.unpack_from("<I", self.data, base + offset + 4)[0])
            named, ids = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + ids):
                _, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF)

        if size:
            walk(0)
        return stamps


    def _string(self, rva):
        at = self.offset_of(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii", "replace")

    def _names(self, table_rva):
        """The function names (or "#ordinal") of one DLL's name table."""
        size, ordinal_bit = (4, 1 << 31) if self.bits == 32 else (8, 1 << 63)
        names, at = [], self.offset_of(table_rva)
        while True:
            entry = int.from_bytes(self.data[at:at + size], "little")
            if not entry:
                return names
            names.append("#%d" % (entry & 0xFFFF) if entry & ordinal_bit else self._string((entry & 0x7FFFFFFF) + 2))
            at += size

    def rva_of(self, offset):
        for _, vsize, vaddr, rsize, raw in self.sections:
            if raw <= offset < raw + rsize:
                return vaddr + offset - raw
        raise PeError("file offset 0x%x lies in no section" % offset)

    def _delay_names(self, dll):
        """The functions of one delay-loaded DLL. GNU ld leaves the delay-import
        directory empty, so the DLL's descriptor is found by its name: the
        record whose second field points at that name (relative address when
        its attribute bit 0 is set, else virtual)."""
        names = []
        at = self.data.find(dll.encode("ascii") + b"\0")
        while at >= 0:
            rva = self.rva_of(at)
            for attributes, pointer in ((1, rva), (0, rva + self.image_base)):
                if pointer >= 1 << 32:
                    continue
                record = self.data.find(struct.pack("<II", attributes, pointer))
                if record >= 0 and record % 4 == 0:
                    base = 0 if attributes else self.image_base
                    try:
                        names += self._names(struct.unpack_from("<I", self.data, record + 16)[0] - base)
                    except PeError:
                        pass  # the same two words elsewhere (a table naming the DLL), no descriptor
            at = self.data.find(dll.encode("ascii") + b"\0", at + 1)
        return names

    def imports(self, delay_loaded=()):
        """{DLL name: [function names]} of the import table, and of the
        delay-loaded DLLs named."""
        out = {}
        rva, size = self.directories[1] if len(self.directories) > 1 else (0, 0)
        at = self.offset_of(rva) if size else None
        while at is not None:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, at)
            if not name:
                break
            out.setdefault(self._string(name), []).extend(self._names(lookup or thunks))
            at += 20
        for dll in delay_loaded:
            out.setdefault(dll, []).extend(self._delay_names(dll))
        return out


def read(path):
    with open(path, "rb") as f:
        return Pe(f.read())
