#!/usr/bin/env bash
# make demo: writes a small synthetic database (a SCOTT-like schema and the
# SYSTEM tablespace describing it) with zut-mkdb, runs build/zut on a script
# that rebuilds the dictionary, describes a table, unloads tables
# to text and to an export dump, scans the extents and unloads one object by
# its data object id without the dictionary, then shows what was written.
set -eu
build=$(cd "${1:-build}" && pwd)
work="$build/demo"
rm -rf "$work"
mkdir -p "$work"
cd "$work"

echo "== Building the demo database in $work"
printf 'config demo.cfg\ndemo\nsystem\n' > demo-db.txt
"$build/zut-mkdb" demo-db.txt
echo "   system01.dbf (relative file 1, tablespace SYSTEM) with the dictionary"
echo "   tables, users01.dbf (relative file 4, tablespace USERS), demo.cfg."
echo

cat > demo.sql <<'EOF'
REM Open the data files, rebuild the dictionary from SYSTEM, look at a
REM table, unload it and its neighbours.
OPEN demo.cfg
UNLOAD TABLE DICT$;
DESC SCOTT.EMP
UNLOAD TABLE SCOTT.EMP TO emp.txt;
UNLOAD TABLE SCOTT.ALL_TYPES TO all_types.txt;
UNLOAD TABLE SCOTT.NOTES TO notes.txt;
UNLOAD TABLE SCOTT.SALES_HIST TO sales_hist.txt;
UNLOAD TABLE SCOTT.C_EMP TO c_emp.txt;
UNLOAD TABLE SCOTT.COUNTRIES TO countries.txt;
UNLOAD TABLE SCOTT.SALES_PART TO sales_part.txt;
UNLOAD TABLE SCOTT.MORE_TYPES TO more_types.txt;
UNLOAD TABLE SCOTT.DEPT TO dept.dmp;
REM Without the dictionary: map every data block, then unload EMP by its
REM data object id (OBJD=73181 in DESC) with the column types given.
SCAN EXTENT
UNLOAD OBJECT 73181 COLUMN NUMBER VARCHAR2 VARCHAR2 NUMBER DATE NUMBER NUMBER NUMBER TO emp_by_objd.txt;
EOF

echo "== Running build/zut on demo.sql"
echo
printf '@demo.sql\n' | "$build/zut"
echo
echo

show() {
  echo "== $1 (first lines)"
  head -n "${2:-6}" "$1" | tr -d '\r'
  echo
}

echo "== Output files in $work"
ls -l *.txt *.ctl *.sql *.dmp ZUTDICT/ZUTEXT.TXT | grep -v demo
echo
show ZUTDICT/ZUTUSR.TXT 3
show ZUTDICT/ZUTTAB.TXT 4
show emp.txt
show EMP_sqlldr.ctl 30
show EMP_syntax.sql 12
show all_types.txt 4
show more_types.txt 5
show notes.txt 3 | cut -c1-120
show countries.txt
show sales_part.txt
show ZUTDICT/ZUTEXT.TXT 12
show emp_by_objd.txt 3
echo "== dept.dmp: an export dump (EXPORT:V08.01.07) of DEPT"
head -c 120 dept.dmp | od -c | head -n 4
echo
echo "Load a text file back with: sqlldr userid=... control=EMP_sqlldr.ctl"
echo "after creating the table with EMP_syntax.sql. Everything is in $work."
