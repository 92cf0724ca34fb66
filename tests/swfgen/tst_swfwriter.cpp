// The SWF writer's bytes, checked against the file format and read back by an independent reader.

#include "ActionWriter.h"
#include "SwfReader.h"
#include "SwfWriter.h"

#include <QtTest>
#include <cmath>

class SwfWriterTest : public QObject
{
    Q_OBJECT

private slots:
    void aOneFrameMovieHasTheFormatsExactBytes()
    {
        swf::TagList tags(5);
        tags.setBackgroundColor(swf::Rgba::hex(0x123456));
        tags.showFrame();
        const QByteArray file = swf::movieFile({5, 550, 400, 24}, tags);
        const QByteArray expected =
            QByteArray::fromHex("465753"             // FWS
                                "05"                 // version
                                "1e000000"           // whole length, 30
                                "7800055f00000fa000" // 0..11000 x 0..8000 twips
                                "0018"               // 24 frames a second
                                "0100"               // one frame
                                "4302123456"         // background colour
                                "4000"               // show frame
                                "0000");             // end
        QCOMPARE(file.toHex(), expected.toHex());
    }

    void tagsOf63BytesOrMoreUseTheLongLength()
    {
        swf::TagList tags(5);
        tags.tag(swf::DoAction, QByteArray(62, 'a'));
        tags.tag(swf::DoAction, QByteArray(63, 'b'));
        const QList<swfread::Tag> read = swfread::readTags(tags.data() + QByteArray(2, '\0'), 0);
        QCOMPARE(read.size(), 3);
        QCOMPARE(read[0].body, QByteArray(62, 'a'));
        QCOMPARE(read[1].body, QByteArray(63, 'b'));
        // Short form: code 12, length 62 in one word; long form: 0x3f and a 32-bit length.
        QCOMPARE(tags.data().left(2).toHex(), QByteArray("3e03"));
        QCOMPARE(tags.data().mid(64, 6).toHex(), QByteArray("3f033f000000"));
    }

    void shapeOutlinesReadBackThroughTheirPoints()
    {
        swf::ShapeBuilder shape;
        const int fill = shape.addFill(swf::Rgba::hex(0xff0000, 128));
        const int line = shape.addLine(40, swf::Rgba::hex(0x00ff00));
        shape.setStyles(fill, line);
        // Negative, horizontal, vertical, general and long edges, and a curve.
        const QList<QPair<int, int>> points = {
            {-300, -20}, {5000, -20}, {5000, 9000}, {-1, 9001}, {-32000, 31000}};
        shape.polygon(points);
        shape.setStyles(0, line);
        shape.moveTo(100, 100);
        shape.curveTo(-2000, 300, 700, -900);
        const swfread::Shape read = swfread::readDefineShape3(shape.defineShape3(7));

        QCOMPARE(read.id, uint16_t(7));
        QCOMPARE(read.fills, 1);
        QCOMPARE(read.lines, 1);
        QCOMPARE(read.edges.size(), points.size() + 1);
        for (int i = 0; i < points.size(); ++i) {
            const auto& from = points[i];
            const auto& to = points[(i + 1) % points.size()];
            const swfread::Edge& e = read.edges[i];
            QCOMPARE(QPoint(e.fromX, e.fromY), QPoint(from.first, from.second));
            QCOMPARE(QPoint(e.toX, e.toY), QPoint(to.first, to.second));
            QCOMPARE(e.fill, fill);
            QCOMPARE(e.line, line);
        }
        const swfread::Edge& curve = read.edges.last();
        QVERIFY(curve.curved);
        QCOMPARE(QPoint(curve.fromX, curve.fromY), QPoint(100, 100));
        QCOMPARE(QPoint(curve.toX, curve.toY), QPoint(700, -900));
        QCOMPARE(curve.fill, 0);
        // The bounds hold every point and the control point, with half the line's width.
        QCOMPARE(read.bounds.xMin, -32000 - 20);
        QCOMPARE(read.bounds.xMax, 5000 + 20);
        QCOMPARE(read.bounds.yMin, -900 - 20);
        QCOMPARE(read.bounds.yMax, 31000 + 20);
    }

    void placementsCarryTheirMatrixAndColours()
    {
        swf::TagList tags(5);
        swf::ColorTransform colors = swf::ColorTransform::tint(swf::Rgba::hex(0xff0000), 0.5);
        colors.blueAdd = -255;
        tags.place(3, 42, swf::Matrix::transform(-250, 6000, 30, 2.0, 0.5), colors,
                   QStringLiteral("scene"));
        tags.move(3, swf::Matrix::translation(10, -10), {});
        const QList<swfread::Tag> read = swfread::readTags(tags.data() + QByteArray(2, '\0'), 0);

        const swfread::Placement first = swfread::readPlaceObject2(read[0].body);
        QVERIFY(!first.move);
        QCOMPARE(first.depth, uint16_t(3));
        QVERIFY(first.character == uint16_t(42));
        QCOMPARE(first.name, QStringLiteral("scene"));
        const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
        QVERIFY(std::abs(first.matrix->scaleX - 2 * c) < 1e-4);
        QVERIFY(std::abs(first.matrix->rotateSkew0 - 2 * s) < 1e-4);
        QVERIFY(std::abs(first.matrix->rotateSkew1 + 0.5 * s) < 1e-4);
        QVERIFY(std::abs(first.matrix->scaleY - 0.5 * c) < 1e-4);
        QCOMPARE(first.matrix->translateX, -250);
        QCOMPARE(first.matrix->translateY, 6000);
        QCOMPARE(first.colors->mul[0], 256);
        QCOMPARE(first.colors->mul[1], 0);
        QCOMPARE(first.colors->mul[2], 0);
        QCOMPARE(first.colors->mul[3], 128);
        QCOMPARE(first.colors->add[2], -255);

        const swfread::Placement moved = swfread::readPlaceObject2(read[1].body);
        QVERIFY(moved.move);
        QVERIFY(!moved.character);
        QCOMPARE(moved.matrix->scaleX, 1.0);
        QCOMPARE(moved.matrix->translateY, -10);
        QVERIFY(!moved.colors);
    }

    void textFieldsOfVersion5MoviesAreInTheAnsiCodePage()
    {
        swf::TagList tags(5);
        swf::EditText field;
        field.id = 9;
        field.bounds = {0, 2000, 0, 400};
        field.fontId = 1;
        field.variable = QStringLiteral("aboutus");
        field.text = QStringLiteral("Café – “quoted” €");
        tags.defineEditText(field);
        swf::EditText bound = field;
        bound.id = 10;
        bound.text.reset();
        tags.defineEditText(bound);
        const QList<swfread::Tag> read = swfread::readTags(tags.data() + QByteArray(2, '\0'), 0);

        QVERIFY(read[0].body.contains(QByteArray("Caf\xe9 \x96 \x93quoted\x94 \x80")));
        const swfread::EditText withText = swfread::readDefineEditText(read[0].body);
        QVERIFY(withText.text == field.text);
        QCOMPARE(withText.variable, QStringLiteral("aboutus"));
        QVERIFY(withText.readOnly);
        const swfread::EditText withoutText = swfread::readDefineEditText(read[1].body);
        QVERIFY(!withoutText.hasText);
        QCOMPARE(withoutText.id, uint16_t(10));

        // Version 6 and later are UTF-8; a version 5 string the code page cannot hold is refused.
        QCOMPARE(swf::encodeString(QStringLiteral("é"), 6), QByteArray("\xc3\xa9"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, swf::encodeString(QStringLiteral("Ω"), 5));
        swf::ActionWriter actions(5);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, actions.push(QString::fromUtf8("a\0b", 3)));
    }

    void branchesLandOnTheirLabels()
    {
        swf::ActionWriter a(5);
        const auto top = a.newLabel();
        const auto skip = a.newLabel();
        a.bind(top);
        a.push(true);
        a.jumpIfTrue(skip);
        a.push("skipped");
        a.op(swf::ActionPop);
        a.jump(top);
        a.bind(skip);
        a.op(swf::ActionStop);
        const QByteArray code = a.code() + QByteArray(1, '\0');
        const QList<swfread::Action> actions = swfread::readActions(code);

        auto target = [](const swfread::Action& branch) {
            const int16_t delta =
                int16_t(uint8_t(branch.payload[0]) | (uint8_t(branch.payload[1]) << 8));
            return branch.offset + 3 + branch.payload.size() + delta;
        };
        QCOMPARE(actions[1].code, uint8_t(0x9d));
        QCOMPARE(target(actions[1]), actions[5].offset); // forward, onto the stop
        QCOMPARE(actions[4].code, uint8_t(0x99));
        QCOMPARE(target(actions[4]), actions[0].offset); // backward, to the start

        swf::ActionWriter unbound(5);
        unbound.jump(unbound.newLabel());
        QVERIFY_THROWS_EXCEPTION(std::logic_error, unbound.code());
    }

    void loadVariablesUsesTheFlagsPlayersRead()
    {
        swf::ActionWriter a(5);
        a.loadVariablesNum(QStringLiteral("Clients.txt"), 0);
        a.fscommand(QStringLiteral("lq_frame"), QStringLiteral("cube"));
        const QList<swfread::Action> actions = swfread::readActions(a.code() + QByteArray(1, '\0'));
        QCOMPARE(actions.size(), 6);
        QCOMPARE(swfread::readPush(actions[0].payload)[0].text, QStringLiteral("Clients.txt"));
        QCOMPARE(swfread::readPush(actions[1].payload)[0].text, QStringLiteral("_level0"));
        QCOMPARE(actions[2].code, uint8_t(0x9a));
        QCOMPARE(actions[2].payload, QByteArray("\x80", 1));
        QCOMPARE(swfread::readPush(actions[3].payload)[0].text,
                 QStringLiteral("FSCommand:lq_frame"));
        QCOMPARE(actions[5].payload, QByteArray("\x00", 1));
    }
};

QTEST_GUILESS_MAIN(SwfWriterTest)
#include "tst_swfwriter.moc"
