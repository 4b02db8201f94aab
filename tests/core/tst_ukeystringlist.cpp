#include <QtTest>

#include "core/UKeyStringlist.h"

class TestUKeyStringlist : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sortingKeepsEveryNamesKey() {
        TUKeyStringlist list;
        list.AddUKey("Karljohan", "K1");
        list.AddUKey("Flugsvamp", "K2");
        list.AddUKey("Blodriska", "K3");
        list.AddUKey("Boletus edulis", "K1");
        list.Sort();
        const QStringList names{list.Strings(0), list.Strings(1), list.Strings(2), list.Strings(3)};
        QCOMPARE(names, (QStringList{"Blodriska", "Boletus edulis", "Flugsvamp", "Karljohan"}));
        const QStringList keys{list.GetUKey(0), list.GetUKey(1), list.GetUKey(2), list.GetUKey(3)};
        QCOMPARE(keys, (QStringList{"K3", "K1", "K2", "K1"}));
        // The key list itself is never reordered.
        QCOMPARE(list.UKeys(), (QStringList{"K1", "K2", "K3", "K1"}));
    }

    void swedishOrderIgnoringCase() {
        TUKeyStringlist list;
        const QStringList given{"Ölandsspindling", "ängsvaxskivling", "Zonsopp",    "åkerskivling",
                                "aprikosskål",     "Eldticka",        "Älgmusseron"};
        for (int i = 0; i < given.size(); ++i) list.AddUKey(given[i], QString::number(i));
        list.Sort();
        QStringList sorted;
        for (int i = 0; i < list.Count(); ++i) sorted << list.Strings(i);
        QCOMPARE(sorted,
                 (QStringList{"aprikosskål", "Eldticka", "Zonsopp", "åkerskivling", "Älgmusseron", "ängsvaxskivling",
                              "Ölandsspindling"}));
        int at = -1;
        QVERIFY(list.Find("ZONSOPP", at));
        QCOMPARE(list.Strings(at), QString("Zonsopp"));
        QVERIFY(!list.Find("Kantarell", at));
        QCOMPARE(at, 2);  // between Eldticka and Zonsopp
        QCOMPARE(list.IndexOf("eldticka"), 1);
        QCOMPARE(list.IndexOf("Trattkantarell"), -1);
    }

    void equalNamesKeepTheirAddingOrder() {
        TUKeyStringlist list;
        list.AddUKey("Smörsopp", "A");
        list.AddUKey("Abborrsopp", "X");
        list.AddUKey("smörsopp", "B");
        list.Sort();
        QCOMPARE(list.GetUKey(1), QString("A"));
        QCOMPARE(list.GetUKey(2), QString("B"));
    }

    void indexOfUKey() {
        TUKeyStringlist list;
        QCOMPARE(list.IndexOfUKey("K1"), -1);
        list.AddUKey("Stolt fjällskivling", "K2");
        list.AddUKey("Macrolepiota procera", "K1");
        list.AddUKey("Fjällskivling", "K1");
        list.Sort();  // Fjällskivling, Macrolepiota procera, Stolt fjällskivling
        QCOMPARE(list.IndexOfUKey("never"), -1);
        // Two names with one key: the one added first.
        QCOMPARE(list.Strings(list.IndexOfUKey("K1")), QString("Macrolepiota procera"));
        QCOMPARE(list.IndexOfUKey("k2"), 2);  // letter case ignored
    }

    void deleteKeepsTheOtherKeys() {
        TUKeyStringlist list;
        list.AddUKey("D", "K4");
        list.AddUKey("B", "K2");
        list.AddUKey("A", "K1");
        list.AddUKey("C", "K3");
        list.AddUKey("E", "K2");
        list.Sort();  // A B C D E
        list.Delete(1);  // B (K2, added second)
        QCOMPARE(list.Count(), 4);
        QCOMPARE(list.UKeys(), (QStringList{"K4", "K1", "K3", "K2"}));
        const QStringList keys{list.GetUKey(0), list.GetUKey(1), list.GetUKey(2), list.GetUKey(3)};
        QCOMPARE(keys, (QStringList{"K1", "K3", "K4", "K2"}));
        // K2 is still carried by E.
        QCOMPARE(list.Strings(list.IndexOfUKey("K2")), QString("E"));
        list.Delete(0);
        QCOMPARE(list.GetUKey(0), QString("K3"));
        QCOMPARE(list.GetUKey(2), QString("K2"));
    }

    void clearEmptiesNamesAndKeys() {
        TUKeyStringlist list;
        list.AddUKey("A", "K1");
        list.Clear();
        QCOMPARE(list.Count(), 0);
        QVERIFY(list.UKeys().isEmpty());
        QCOMPARE(list.IndexOfUKey("K1"), -1);
        QCOMPARE(list.AddUKey("B", "K9"), 0);
        QCOMPARE(list.GetUKey(0), QString("K9"));
    }
};
QTEST_GUILESS_MAIN(TestUKeyStringlist)
#include "tst_ukeystringlist.moc"
