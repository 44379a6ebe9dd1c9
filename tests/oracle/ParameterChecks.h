#pragma once
// What both engines' parameter collections share, a pending error for a bad name or index.
#include <QTest>

#include "core/RunErr.h"
#include "oracle/OraInterface.h"

inline void CheckParameterCollection(ora::OraParameters& p) {
  using namespace ora;
  ErrClear();
  p.Add("B", "1", ORAPARM_INPUT);
  p.Add("A", "2", ORAPARM_OUTPUT);
  p.Add("C", "3", ORAPARM_BOTH);
  QVERIFY(!Err().pending());
  QVERIFY(p.Item(1) && p.Item("b") && p.Item("A") && p.Item(2) && p.Item("a"));
  QCOMPARE(p.Item(1)->Name(), QString("A"));
  QCOMPARE(p.Item("b")->Status(), ORAPSTAT_INPUT);
  QCOMPARE(p.Item("A")->Status(), ORAPSTAT_OUTPUT);
  QCOMPARE(p.Item(2)->Status(), ORAPSTAT_BOTH);
  p.Item("A")->SetServerType(ORATYPE_NUMBER);
  QCOMPARE(p.Item("a")->ServerType(), int(ORATYPE_NUMBER));
  QCOMPARE(p.Item("a")->Value().toString(), QString("2"));
  p.Add("a", "x", ORAPARM_INPUT);
  QVERIFY(Err().pending());
  QCOMPARE(p.Count(), 3);
  ErrClear();
  p.Remove("a");
  QVERIFY(!Err().pending());
  QCOMPARE(p.Count(), 2);
  QCOMPARE(p.Item(1)->Name(), QString("C"));
  for (auto call :
       {+[](OraParameters& q) { q.Remove("a"); }, +[](OraParameters& q) { QVERIFY(!q.Item("a")); },
        +[](OraParameters& q) { QVERIFY(!q.Item(5)); }}) {
    ErrClear();
    call(p);
    QVERIFY(Err().pending());
  }
  ErrClear();
}
