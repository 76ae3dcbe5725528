"""Decoder of the pack format and of the install log message.

decode_pack(data) -> dict        a serialised pack, nested packs decoded too
decode_install_log(data) -> dict the 28-byte header and the pack body
describe_install_log(data) -> str the same in words, one line per item

Pack (all integers little-endian): row size, row count, field count, 0; then
one 16-byte descriptor per field (word = type | length << 6, 0, id, 0); then
the rows. Types: 1 nested pack, 2 byte string, 8 record of seven int32.
Malformed input raises PackError.
"""
import struct

__all__ = ["PackError", "decode_pack", "decode_log_header", "decode_install_log", "describe_install_log",
           "TYPE_NAMES"]

TYPE_NAMES = {1: "pack", 2: "bytes", 8: "record"}
LOG_MAGIC = b"qlx2015\0"
LOG_HEADER_SIZE = 28


class PackError(ValueError):
    pass


def decode_pack(data):
    """Decodes a whole serialised pack (trailing bytes are an error).

    Returns {"row_size", "row_count", "field_count", "reserved",
    "fields": [{"id", "type", "type_name", "length", "word", "reserved"}],
    "rows": [{id: value}]} where value is bytes (type 2), a list of seven
    unsigned ints (type 8), a decoded pack (type 1) or bytes (other types).
    """
    data = bytes(data)
    if len(data) < 16:
        raise PackError("pack shorter than its 16-byte header: %d bytes" % len(data))
    row_size, row_count, field_count, reserved = struct.unpack_from("<iiiI", data, 0)
    if row_size < 0 or row_count < 0 or field_count < 0:
        raise PackError("negative size in header: %d %d %d" % (row_size, row_count, field_count))
    need = 16 * (field_count + 1) + row_size * row_count
    if len(data) != need:
        raise PackError("pack is %d bytes, its header says %d" % (len(data), need))
    fields = []
    for i in range(field_count):
        word, r1, fid, r2 = struct.unpack_from("<IIiI", data, 16 + 16 * i)
        ftype, length = word & 0x3F, word >> 6
        fields.append({"id": fid, "type": ftype, "type_name": TYPE_NAMES.get(ftype, "type %d" % ftype),
                       "length": length, "word": word, "reserved": (r1, r2)})
    if sum(f["length"] for f in fields) != row_size:
        raise PackError("field lengths add up to %d, row size is %d" % (sum(f["length"] for f in fields), row_size))
    rows = []
    at = 16 * (field_count + 1)
    for _ in range(row_count):
        row = {}
        for f in fields:
            raw = data[at:at + f["length"]]
            at += f["length"]
            if f["type"] == 1:
                value = decode_pack(raw)
            elif f["type"] == 8:
                if len(raw) != 28:
                    raise PackError("record field %d is %d bytes, not 28" % (f["id"], len(raw)))
                value = list(struct.unpack("<7I", raw))
            else:
                value = raw
            row[f["id"]] = value
        rows.append(row)
    return {"row_size": row_size, "row_count": row_count, "field_count": field_count, "reserved": reserved,
            "fields": fields, "rows": rows}


def decode_log_header(data):
    """The 28-byte header: {"magic", "words": the five words after it, "body_length"}."""
    if len(data) < LOG_HEADER_SIZE:
        raise PackError("log message shorter than its 28-byte header: %d bytes" % len(data))
    words = list(struct.unpack_from("<5i", data, 8))
    return {"magic": bytes(data[:8]), "words": words, "body_length": words[3]}


def _text(raw):
    """A fixed field as text: up to its first 0x00, decoded as GBK."""
    end = raw.find(b"\0")
    text = (raw if end < 0 else raw[:end]).decode("gbk", "replace")
    return text


def decode_install_log(data):
    """Header and body of an install log message.

    Returns {"size", "header", "body" (decode_pack), "version",
    "device_ip", "client_identity", "command"}; the last four are None when
    the body does not have the expected fields.
    """
    data = bytes(data)
    header = decode_log_header(data)
    body_bytes = data[LOG_HEADER_SIZE:]
    if header["body_length"] != len(body_bytes):
        raise PackError("header says the body is %d bytes, %d follow" % (header["body_length"], len(body_bytes)))
    body = decode_pack(body_bytes)
    result = {"size": len(data), "header": header, "body": body, "command": None, "version": None,
              "device_ip": None, "client_identity": None}
    if body["rows"]:
        row = body["rows"][0]
        result["command"] = row.get(100000)
        inner = row.get(100001)
        if isinstance(inner, dict) and inner["rows"]:
            irow = inner["rows"][0]
            result["version"] = irow.get(700000002)
            result["device_ip"] = irow.get(700000003)
            result["client_identity"] = irow.get(700000005)
    return result


def _describe_pack(pack, indent, lines):
    pad = "  " * indent
    lines.append("%spack: %d row(s) of %d bytes, %d field(s)" % (pad, pack["row_count"], pack["row_size"],
                                                                 pack["field_count"]))
    for f in pack["fields"]:
        lines.append("%s  field %d: %s, %d bytes (descriptor word 0x%08X)" % (pad, f["id"], f["type_name"],
                                                                             f["length"], f["word"]))
    for n, row in enumerate(pack["rows"]):
        lines.append("%s  row %d:" % (pad, n))
        for f in pack["fields"]:
            value = row[f["id"]]
            if isinstance(value, dict):
                lines.append("%s    %d = nested" % (pad, f["id"]))
                _describe_pack(value, indent + 3, lines)
            elif isinstance(value, list):
                lines.append("%s    %d = record [%s]" % (pad, f["id"], ", ".join("0x%X" % w if w >= 0x80000000
                                                                                   else str(w) for w in value)))
            else:
                lines.append("%s    %d = %r (hex %s)" % (pad, f["id"], _text(value), value.hex()))


def describe_install_log(data):
    """The install log message in words, e.g. for the demo's printout.

    Never raises: a message that cannot be decoded is described as such.
    """
    data = bytes(data)
    try:
        log = decode_install_log(data)
    except PackError as e:
        return "install log: %d bytes, not a valid message: %s" % (len(data), e)
    h = log["header"]
    lines = ["install log: %d bytes (28-byte header + %d-byte body)" % (log["size"], h["body_length"]),
             "  header magic %r, words %s" % (h["magic"], h["words"])]
    if log["version"] is not None:
        lines.append("  version %r, device IP %r, client identity %r" % (
            _text(log["version"]), _text(log["device_ip"]), _text(log["client_identity"])))
    if log["command"] is not None:
        lines.append("  command record %s" % ["0x%X" % w if w >= 0x80000000 else w for w in log["command"]])
    body_lines = []
    _describe_pack(log["body"], 1, body_lines)
    return "\n".join(lines + body_lines)


if __name__ == "__main__":
    import sys
    with open(sys.argv[1], "rb") as f:
        print(describe_install_log(f.read()))
