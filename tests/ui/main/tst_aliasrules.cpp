// The e-mail page's rules without a widget: what may be registered, which
// alias buttons apply to an edit, how the list is read and ordered, and the
// throw-away alias names.
#include "aliases/AliasEditState.h"
#include "aliases/AliasRecords.h"
#include "aliases/AliasRules.h"
#include "aliases/JunkAlias.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {

const QString Domain = QStringLiteral("anon.test");

// The demo account's aliases, as listed on the page.
const QList<MailRedir> Listed{{"shopping", "demo@contact.example"}, {"news.letters", ""}};

QString spelled(const QList<MailRedir> &records)
{
    QStringList parts;
    for (const MailRedir &r : records)
        parts << r.toString();
    return parts.join(QLatin1Char(';'));
}

} // namespace

class TestAliasRules : public QObject
{
    Q_OBJECT

private slots:
    void forwardError_data()
    {
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("mail");
        QTest::addColumn<QString>("error");
        const auto row = [](const char *name, const QString &alias, const QString &mail,
                            const QString &error) {
            QTest::newRow(name) << alias << mail << error;
        };

        const QString notAlias = "Alias is not valid.";
        const QString notMail = "Email address is not valid.";
        const QString loop = "Forwarding to anon.test domain is not allowed.";

        row("no alias", "", "bob@example.org", "Alias is empty.");
        row("alias only", "shop", "", "");
        row("two words joined by a dot", "john.smith", "john@example.org", "");
        row("leading dot", ".john", "", notAlias);
        row("trailing dot", "john.", "", notAlias);
        row("double dot", "john..smith", "", notAlias);
        row("plus in alias", "john+x", "", notAlias);
        row("dotted forward", "a", "first.last@mail.example.org", "");
        row("forward without domain", "a", "bob", notMail);
        row("forward to a bare host", "a", "bob@localhost", notMail);
        row("forward with digit top level", "a", "bob@example.c0m", notMail);
        row("forward with two at signs", "a", "bob@x@example.org", notMail);
        row("forward leading dot", "a", ".bob@example.org", notMail);
        row("into the alias domain", "a", "bob@anon.test", loop);
        row("into the alias domain, other case", "a", "Bob@ANON.Test", loop);
        row("sub-domain of the alias domain", "a", "bob@mail.anon.test", "");
        row("domain ending like the alias domain", "a", "bob@xanon.test", "");
    }

    void forwardError()
    {
        QFETCH(QString, alias);
        QFETCH(QString, mail);
        QFETCH(QString, error);
        QCOMPARE(AliasRules::forwardError(alias, mail, Domain), error);
    }

    void separatorsOfTheWireFormCannotBeTyped()
    {
        for (const QString &pattern :
             {AliasRules::aliasInputPattern(), AliasRules::forwardInputPattern()}) {
            const QRegularExpression rx(QRegularExpression::anchoredPattern(pattern));
            QVERIFY(!rx.match("a,b").hasMatch());
            QVERIFY(!rx.match("a;b").hasMatch());
        }
    }

    // What the buttons show for an edit, as the words "add", "remove",
    // "change" for the enabled buttons and "changed" when Change replaces
    // Add and Remove.
    void editState_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("forward");
        QTest::addColumn<QString>("buttons");
        const auto row = [](const char *name, int selected, const QString &alias,
                            const QString &forward, const QString &buttons) {
            QTest::newRow(name) << selected << alias << forward << buttons;
        };

        // Adding: nothing or the placeholder selected.
        row("new alias", -1, "travel", "", "add");
        row("nothing typed", -1, "", "x@example.org", "");
        row("existing alias in other case", -1, "SHOPPING", "", "");
        row("existing pair typed while adding", -1, "News.Letters", "", "");
        // Editing the selected row.
        row("selected as it is", 0, "shopping", "demo@contact.example", "remove");
        row("only the forward edited", 0, "shopping", "other@example.org", "change changed");
        row("only the letter case of the alias edited", 0, "Shopping", "other@example.org",
            "change changed");
        row("alias edited to another listed alias", 0, "news.letters", "demo@contact.example",
            "changed");
        row("edited into the other listed pair", 0, "news.letters", "", "changed");
        row("renamed to a new alias", 1, "news", "", "add change changed");
        row("edited back in other case only", 0, "SHOPPING", "demo@contact.example", "changed");
    }

    void editState()
    {
        QFETCH(int, selected);
        QFETCH(QString, alias);
        QFETCH(QString, forward);
        const AliasEditState state(Listed, selected, MailRedir(alias, forward));
        QStringList buttons;
        if (state.addEnabled())
            buttons << "add";
        if (state.removeEnabled())
            buttons << "remove";
        if (state.changeEnabled())
            buttons << "change";
        if (state.selectionChanged())
            buttons << "changed";
        QTEST(buttons.join(' '), "buttons");
    }

    void listAnswer()
    {
        QVERIFY(AliasRecords::fromAnswer("1").isEmpty());
        QCOMPARE(spelled(AliasRecords::fromAnswer(";;a,b;")), "a,b");
        QCOMPARE(spelled(AliasRecords::fromAnswer("shop,x@example.org;news,;plain")),
                 "shop,x@example.org;news,;plain,");
    }

    void ordering_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("expected");

        QTest::newRow("alias descending")
            << 0 << int(Qt::DescendingOrder) << "c,m@x.org;b,m@x.org;b,a@x.org;a,z@x.org";
        // Ties on the forward are ordered by alias, in the same direction.
        QTest::newRow("forward ascending")
            << 1 << int(Qt::AscendingOrder) << "b,a@x.org;b,m@x.org;c,m@x.org;a,z@x.org";
        QTest::newRow("forward descending")
            << 1 << int(Qt::DescendingOrder) << "a,z@x.org;c,m@x.org;b,m@x.org;b,a@x.org";
    }

    void ordering()
    {
        QFETCH(int, column);
        QFETCH(int, order);
        // Rows without an alias are dropped; "b" forwards to two addresses.
        const QList<MailRedir> records{{"c", "m@x.org"},
                                       {"", "lost@x.org"},
                                       {"b", "m@x.org"},
                                       {"a", "z@x.org"},
                                       {"b", "a@x.org"}};
        QTEST(spelled(AliasRecords::sorted(records, column, Qt::SortOrder(order))), "expected");
    }

    void junkNames()
    {
        int next = 0;
        QCOMPARE(JunkAlias::fromNumbers([&] { return next++; }), "abcdefgh");
        const QList<int> edges{25, 26, 35, 36, 61, 62, 71, 1000};
        int i = 0;
        QCOMPARE(JunkAlias::fromNumbers([&] { return edges.at(i++); }), "z09az092");

        const QRegularExpression shape(QRegularExpression::anchoredPattern("[a-z0-9]{8}"));
        QSet<QString> drawn;
        for (int n = 0; n < 20; ++n) {
            const QString name = JunkAlias::draw();
            QVERIFY2(shape.match(name).hasMatch(), qPrintable(name));
            drawn.insert(name);
        }
        // All within one second: a refused name must not come back at once.
        QCOMPARE(drawn.size(), 20);
    }
};

QTEST_GUILESS_MAIN(TestAliasRules)
#include "tst_aliasrules.moc"
