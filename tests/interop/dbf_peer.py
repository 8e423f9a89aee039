#!/usr/bin/python3
"""Writes and reads dbf tables with the independent python3-dbf and dbfread
packages, for the interoperability tests.

Writers make DIR/NAME.dbf (with its memo file) and print, one JSON object per
live record in file order, the values they stored. Readers print the values
they find the same way. Values are tagged so that the two sides compare
without guessing:
  null, true/false, "text", {"n": "12.5"} number, {"d": "2001-02-03"} date,
  {"dt": "2000-01-01T12:30:15.123"} date and time, {"x": "00ff"} bytes.

Usage:
  dbf_peer.py write-db3|write-fp|write-vfp DIR NAME CODEPAGE   (cp437, cp850, cp866, cp1252)
  dbf_peer.py read-dbfread|read-dbf PATH
Run it with Debian's /usr/bin/python3, which has the packages.
"""

import datetime
import decimal
import json
import sys

# Text each code page holds beyond ASCII.
SAMPLES = {
    'cp437': 'Zoë Çà ñ £½ ß',
    'cp850': 'Øre Ñu ¾ Êõ',
    'cp866': 'Привет Ёж',
    'cp1252': '€ Œuvre “ok” Šž',
}


def tag(value, strip=False):
    if value is None:
        return None
    if isinstance(value, bool):
        return value
    if isinstance(value, (int, float)):
        return {'n': repr(value)}
    if isinstance(value, decimal.Decimal):
        return {'n': format(value, 'f')}
    if isinstance(value, datetime.datetime):
        return {'dt': value.isoformat(timespec='milliseconds')}
    if isinstance(value, datetime.date):
        return {'d': value.isoformat()}
    if isinstance(value, (bytes, bytearray)):
        return {'x': bytes(value).hex()}
    if isinstance(value, str):
        return value.rstrip(' ') if strip else value
    raise TypeError('cannot tag %r' % (value,))


def emit(names, values, strip_fields=()):
    print(json.dumps({n: tag(v, n in strip_fields) for n, v in zip(names, values)}, ensure_ascii=False))


def long_memo(text):
    # Longer than one 512-byte block, with line breaks, so that a reader has to
    # follow the memo over several blocks.
    return '\r\n'.join('%03d %s' % (i, text) for i in range(40))


def write(kind, folder, name, codepage):
    import dbf

    text = SAMPLES[codepage]
    path = '%s/%s.dbf' % (folder, name)
    D = datetime.date
    if kind == 'db3':
        spec = 'NAME C(30); QTY N(5,0); BIG N(12,0); PRICE N(10,2); BORN D; OK L; NOTES M'
        rows = [
            (text, 5, 123456789012, 12.5, D(2001, 2, 3), True, long_memo(text)),
            ('', None, None, None, None, None, ''),
            ('neg', -42, -1, -0.75, D(1999, 12, 31), False, 'short ' + text),
            ('gone', 1, 1, 1.0, D(2000, 1, 1), True, 'deleted'),
            ('last', 99999, 0, 1234567.89, D(2024, 2, 29), False, text),
        ]
    elif kind == 'fp':
        # python3-dbf writes a FoxPro 2 table with a 263-byte backlink and a
        # year - 2000 in its header, and version byte 0 when there is no memo
        # field; a memo field is always present here so the file stays valid.
        spec = ('NAME C(30); QTY N(5,0); PRICE N(10,2); RATIO F(12,4); BORN D; OK L; '
                'NOTES M; PIC P; OBJ G')
        rows = [
            (text, 5, 12.5, 0.125, D(2001, 2, 3), True, long_memo(text), b'\x89PNG\r\n\x1a\n\x00\xff', b'\x01\x00ole'),
            ('', None, None, None, None, None, '', b'', b''),
            ('neg', -42, -0.75, -3.5, D(1999, 12, 31), False, 'short ' + text, b'\x00', b'\xff' * 300),
            ('gone', 1, 1.0, 1.0, D(2000, 1, 1), True, 'deleted', b'', b''),
            ('last', 99999, 1234567.89, 99.0001, D(2024, 2, 29), False, text, b'', b''),
        ]
    elif kind == 'vfp':
        N = dbf.Null
        # python3-dbf refuses the two ends of the I and Y ranges (its bounds
        # checks are exclusive), so the extremes here stop one short of them.
        spec = ('NAME C(30) null; QTY N(5,0); PRICE N(10,2) null; BORN D null; OK L null; NOTES M null; '
                'CNT I null; DBL B; CASH Y; STAMP T null; PIC P; RAW M binary; CODE C(8) binary null')
        # python3-dbf gives a nullable field the _NullFlags bit of its
        # position among all fields, where Visual FoxPro numbers only the
        # nullable (and varlength) fields. Putting the nullable fields first
        # makes the two agree.
        order = [0, 2, 3, 4, 5, 6, 9, 12, 1, 7, 8, 10, 11]
        parts = spec.split('; ')
        spec = '; '.join(parts[i] for i in order)
        DT = datetime.datetime
        Dec = decimal.Decimal
        rows = [
            (text, 5, 12.5, D(2001, 2, 3), True, long_memo(text), -7, 1.25, Dec('12.3456'),
             DT(2000, 1, 1, 12, 30, 15, 123000), b'\x89PNG\x00', b'\x00\xff\x01', b'\x00\x01\x02ABC\xff\x7f'),
            (N, 0, N, N, N, N, N, 0.0, Dec('0'), N, b'', b'', N),
            ('', -42, -0.75, D(1999, 12, 31), False, '', 2147483646, -1e-300, Dec('-922337203685477.5807'),
             DT(1999, 12, 31, 23, 59, 59), b'', b'\x1a' * 70, b'\xff' * 8),
            ('gone', 1, 1.0, D(2000, 1, 1), True, 'deleted', 1, 1.0, Dec('1'), DT(2000, 1, 1), b'', b'', b'gonegone'),
            ('last', 99999, 1234567.89, D(2024, 2, 29), False, text, -2147483647, 6.02214076e23,
             Dec('922337203685477.5807'), DT(2024, 2, 29, 0, 0, 0, 1000), b'', b'', b'12345678'),
        ]
        rows = [tuple(row[i] for i in order) for row in rows]
    else:
        raise SystemExit('unknown kind ' + kind)

    table = dbf.Table(path, spec, dbf_type=kind, codepage=codepage)
    table.open(dbf.READ_WRITE)
    for row in rows:
        table.append(row)
    for rec in table:
        if rec[0] is not dbf.Null and str(rec[0]).rstrip() == 'gone':
            dbf.delete(rec)
    names = [f.upper() for f in table.field_names]
    table.close()

    c_fields = {'NAME'}
    for row in rows:
        if row[0] == 'gone':
            continue
        emit(names, [None if v is dbf.Null else v for v in row], c_fields)


def read_dbfread(path):
    import dbfread
    from dbfread.field_parser import FieldParser

    class Parser(FieldParser):
        # dbfread decodes every M and C field as text; Visual FoxPro marks
        # binary ones with flag 0x04 (descriptor byte 18), which it ignores.
        def parseM(self, field, data):
            if field.reserved1 & 0x04:
                memo = self.get_memo(self._parse_memo_index(data))
                return None if memo is None else bytes(memo)
            return FieldParser.parseM(self, field, data)

        def parseC(self, field, data):
            if field.reserved1 & 0x04:
                return bytes(data)
            return FieldParser.parseC(self, field, data)

    table = dbfread.DBF(path, parserclass=Parser, load=False)
    for rec in table:
        names = [n for n in rec.keys() if n != '_NullFlags'.upper() and n != '_NullFlags']
        emit([n.upper() for n in names], [rec[n] for n in names])


def read_dbf(path):
    import dbf

    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    try:
        # python3-dbf decodes a P or G memo as text unless the descriptor
        # has the binary flag (0x04), which only Visual FoxPro defines; in
        # FoxPro 2 tables that byte is reserved. They always hold bytes.
        from dbf.ver_33 import BINARY, FLAGS
        for name in table.field_names:
            fielddef = table._meta[name]
            if chr(fielddef[0]) in 'PG' and not fielddef[FLAGS] & BINARY:
                fielddef = list(fielddef)
                fielddef[FLAGS] |= BINARY
                table._meta[name] = tuple(fielddef)
        names = [n.upper() for n in table.field_names]
        types = [table.field_info(n).field_type for n in table.field_names]
        for rec in table:
            if dbf.is_deleted(rec):
                continue
            values = []
            for v in rec:
                values.append(None if v is dbf.Null else v)
            strip = {n for n, t in zip(names, types) if chr(t) in 'C'}
            emit(names, values, strip)
    finally:
        table.close()


def main(argv):
    if len(argv) == 5 and argv[1] in ('write-db3', 'write-fp', 'write-vfp'):
        write(argv[1][6:], argv[2], argv[3], argv[4])
    elif len(argv) == 3 and argv[1] == 'read-dbfread':
        read_dbfread(argv[2])
    elif len(argv) == 3 and argv[1] == 'read-dbf':
        read_dbf(argv[2])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == '__main__':
    sys.stdout.reconfigure(encoding='utf-8')
    sys.exit(main(sys.argv))
