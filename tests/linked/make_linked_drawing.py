#!/usr/bin/env python3
"""Writes a DXF drawing the way another program would: a hand-made R2004 file holding one
ACAD_TABLE whose link points at a database through a path relative to the drawing.

    make_linked_drawing.py OUTPUT.dxf DATABASE_PATH TABLE [ROWS COLUMNS]

The link is stored exactly in the form the module reads: six text entries under their own
registered applications and the data entry under 4E679C82-0FD2-43e8-8D7F-465BF47E479F.
The table's cells hold placeholder texts that a refresh replaces.
"""
import sys

LINK_APP = "4E679C82-0FD2-43e8-8D7F-465BF47E479F"
ACCESS = "Microsoft Access Driver (*.mdb)"


def main():
    out, database, table = sys.argv[1:4]
    rows = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    columns = int(sys.argv[5]) if len(sys.argv) > 5 else 2
    g = []

    def tag(code, value):
        g.append(f"{code:>3}\n{value}\n")

    apps = ["ACAD", "Connect_Driver", "Database", "Table", "SQL", "User", "Password", LINK_APP]
    handles = iter(range(0x100, 0x1000))
    h = lambda: format(next(handles), "X")
    model, paper, tblock = h(), h(), h()
    root, styles, standard, layouts = h(), h(), h(), h()
    table_handle = h()

    tag(0, "SECTION"); tag(2, "HEADER")
    tag(9, "$ACADVER"); tag(1, "AC1018")
    tag(9, "$DWGCODEPAGE"); tag(3, "ANSI_1252")
    tag(9, "$HANDSEED"); tag(5, "FFFF")
    tag(0, "ENDSEC")

    tag(0, "SECTION"); tag(2, "TABLES")
    tag(0, "TABLE"); tag(2, "APPID"); tag(5, h()); tag(70, len(apps))
    for app in apps:
        tag(0, "APPID"); tag(5, h()); tag(100, "AcDbSymbolTableRecord")
        tag(100, "AcDbRegAppTableRecord"); tag(2, app); tag(70, 0)
    tag(0, "ENDTAB")
    tag(0, "TABLE"); tag(2, "BLOCK_RECORD"); tag(5, h()); tag(70, 3)
    for handle, name in ((model, "*Model_Space"), (paper, "*Paper_Space"), (tblock, "*T1")):
        tag(0, "BLOCK_RECORD"); tag(5, handle); tag(100, "AcDbSymbolTableRecord")
        tag(100, "AcDbBlockTableRecord"); tag(2, name)
    tag(0, "ENDTAB")
    tag(0, "ENDSEC")

    tag(0, "SECTION"); tag(2, "BLOCKS")
    for owner, name in ((model, "*Model_Space"), (paper, "*Paper_Space"), (tblock, "*T1")):
        tag(0, "BLOCK"); tag(5, h()); tag(330, owner); tag(100, "AcDbEntity"); tag(8, "0")
        tag(100, "AcDbBlockBegin"); tag(2, name); tag(70, 1 if name == "*T1" else 0)
        tag(10, 0.0); tag(20, 0.0); tag(30, 0.0); tag(3, name)
        tag(0, "ENDBLK"); tag(5, h()); tag(330, owner); tag(100, "AcDbEntity"); tag(8, "0")
        tag(100, "AcDbBlockEnd")
    tag(0, "ENDSEC")

    tag(0, "SECTION"); tag(2, "ENTITIES")
    tag(0, "ACAD_TABLE"); tag(5, table_handle); tag(330, model)
    tag(100, "AcDbEntity"); tag(8, "0")
    tag(100, "AcDbBlockReference"); tag(2, "*T1")
    tag(10, 0.0); tag(20, 0.0); tag(30, 0.0)
    tag(100, "AcDbTable"); tag(280, 0); tag(342, standard); tag(343, tblock)
    tag(11, 1.0); tag(21, 0.0); tag(31, 0.0)
    tag(90, 22); tag(91, rows); tag(92, columns)
    for _ in range(rows):
        tag(141, 3.7)
    for _ in range(columns):
        tag(142, 30.0)
    for r in range(rows):
        for c in range(columns):
            tag(171, 1); tag(172, 0); tag(173, 0); tag(174, 0); tag(175, 1); tag(176, 1)
            tag(91, 0); tag(178, 0); tag(145, 0.0); tag(92, 0)
            tag(1, f"old {r},{c}")
    tag(1001, "Connect_Driver"); tag(1000, ACCESS)
    tag(1001, "Database"); tag(1000, database)
    tag(1001, "Table"); tag(1000, table)
    tag(1001, "SQL"); tag(1000, "")
    tag(1001, "User"); tag(1000, "")
    tag(1001, "Password"); tag(1000, "")
    tag(1001, LINK_APP)
    for value in (1, 1, 0, 0):
        tag(1070, value)
    tag(1000, ""); tag(1000, "")
    tag(1071, rows); tag(1071, columns)
    tag(0, "ENDSEC")

    tag(0, "SECTION"); tag(2, "OBJECTS")
    tag(0, "DICTIONARY"); tag(5, root); tag(330, 0); tag(100, "AcDbDictionary")
    tag(3, "ACAD_TABLESTYLE"); tag(350, styles)
    tag(0, "DICTIONARY"); tag(5, styles); tag(330, root); tag(100, "AcDbDictionary")
    tag(3, "Standard"); tag(350, standard)
    tag(0, "TABLESTYLE"); tag(5, standard); tag(330, styles); tag(100, "AcDbTableStyle")
    tag(3, "Standard"); tag(70, 0); tag(71, 0); tag(40, 0.06); tag(41, 0.06)
    tag(280, 0); tag(281, 0)
    for row in (1, 2, 4):  # data, title, header rows
        tag(7, "Standard"); tag(140, 2.5); tag(170, 1 if row == 1 else 2)
        tag(62, 0); tag(63, 7); tag(283, 0)
    tag(0, "ENDSEC")
    tag(0, "EOF")
    with open(out, "w", encoding="utf-8", newline="\r\n") as f:
        f.write("".join(g))


if __name__ == "__main__":
    main()
