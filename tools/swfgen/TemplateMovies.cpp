#include "TemplateMovies.h"

#include "ActionWriter.h"
#include "DrivePaths.h"
#include "SwfWriter.h"

#include <QHash>
#include <array>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace swfgen {

using namespace swf;

namespace {

// The names below the drive of a fixed Windows path of the tables.
QStringList partsOf(const QString& windowsPath)
{
    const std::optional<lq::DrivePaths::WindowsPath> path = lq::DrivePaths::parse(windowsPath);
    if (!path || path->parts.isEmpty())
        throw std::invalid_argument("not an absolute drive path");
    return path->parts;
}

// A small fixed-seed generator: the same movie, byte for byte, on every build.
class Random
{
public:
    explicit Random(uint32_t seed) : m_state(seed) {}
    double next() // 0 <= x < 1
    {
        m_state = m_state * 1664525u + 1013904223u;
        return double(m_state >> 8) / double(1u << 24);
    }
    double between(double low, double high) { return low + (high - low) * next(); }

private:
    uint32_t m_state;
};

// The definitions of one movie and the character ids they use.
class Movie
{
public:
    TagList tags{movieVersion};
    uint16_t newId() { return m_nextId++; }
    uint16_t shape(const ShapeBuilder& builder)
    {
        const uint16_t id = newId();
        tags.defineShape(id, builder);
        return id;
    }
    uint16_t sprite(const TagList& timeline)
    {
        const uint16_t id = newId();
        tags.defineSprite(id, timeline);
        return id;
    }
    uint16_t font(const QString& name)
    {
        const auto it = m_fonts.constFind(name);
        if (it != m_fonts.cend())
            return *it;
        const uint16_t id = newId();
        tags.defineDeviceFont(id, name);
        m_fonts.insert(name, id);
        return id;
    }

private:
    uint16_t m_nextId = 1;
    QHash<QString, uint16_t> m_fonts;
};

TagList timeline()
{
    return TagList(movieVersion);
}

// Where the effect's name and the sections go, in pixels.
struct Layout
{
    Rect title; // pixels
    EditText::Align titleAlign = EditText::Align::Left;
    int x = 20, y = 70, width = 510, height = 316;
    EditText::Align textAlign = EditText::Align::Left;
};

struct Look
{
    Rgba background;
    Rgba titleColor, labelColor, textColor;
    Rgba panelColor; // drawn behind the sections; alpha 0 for none
    QString font = QStringLiteral("_sans");
    int titleHeight = 30;
    Layout layout;
};

Rect pixels(int x, int y, int width, int height)
{
    return {px(x), px(x + width), px(y), px(y + height)};
}

Matrix at(double x, double y, double degrees = 0, double scale = 1)
{
    return Matrix::transform(px(x), px(y), degrees, scale, scale);
}

// ----- the scenes: each returns the id of a looping sprite that moves behind the texts -----

uint16_t fireworksScene(Movie& movie)
{
    Random random(0xf1e);
    ShapeBuilder stars;
    stars.setStyles(stars.addFill(Rgba::hex(0xffffff, 170)), 0);
    for (int i = 0; i < 45; ++i)
        stars.circle(px(random.between(5, 545)), px(random.between(5, 395)),
                     px(random.between(0.6, 1.6)));
    const uint16_t starsId = movie.shape(stars);

    // One burst: a ring of sparks drawn in white and tinted at each placement.
    ShapeBuilder burst;
    burst.setStyles(burst.addFill(Rgba::hex(0xffffff)), 0);
    for (int i = 0; i < 18; ++i) {
        const double a = i * 2 * M_PI / 18;
        burst.circle(px(60 * std::cos(a)), px(60 * std::sin(a)), px(3.2));
        burst.circle(px(38 * std::cos(a + 0.17)), px(38 * std::sin(a + 0.17)), px(2.0));
    }
    const uint16_t burstId = movie.shape(burst);

    const std::array<Rgba, 5> colors = {Rgba::hex(0xffd166), Rgba::hex(0xef476f),
                                        Rgba::hex(0x06d6a0), Rgba::hex(0x4cc9f0),
                                        Rgba::hex(0xf15bb5)};
    const int cycle = 36, bursts = 4, frames = cycle * 3;
    struct Spot
    {
        double x, y;
    };
    std::array<std::array<Spot, 3>, bursts> spots{};
    for (auto& perCycle : spots) {
        for (Spot& s : perCycle)
            s = {random.between(70, 480), random.between(60, 230)};
    }

    TagList scene = timeline();
    scene.place(1, starsId, Matrix());
    for (int f = 0; f < frames; ++f) {
        for (int b = 0; b < bursts; ++b) {
            const int local = (f + b * cycle / bursts) % frames;
            const int round = local / cycle;
            const double t = double(local % cycle) / cycle;
            const Spot s = spots[b][round];
            const double scale = 0.12 + 0.88 * (1 - (1 - t) * (1 - t));
            const Matrix m = at(s.x, s.y + 24 * t * t, 0, scale);
            const ColorTransform c =
                ColorTransform::tint(colors[(b + round) % colors.size()], 1 - std::pow(t, 1.6));
            if (f == 0)
                scene.place(uint16_t(10 + b), burstId, m, c);
            else
                scene.move(uint16_t(10 + b), m, c);
        }
        scene.showFrame();
    }
    return movie.sprite(scene);
}

uint16_t vectorScene(Movie& movie)
{
    ShapeBuilder grid;
    grid.setStyles(0, grid.addLine(px(0.5), Rgba::hex(0xc9d3e6)));
    for (int x = 0; x <= stageWidth; x += 25) {
        grid.moveTo(px(x), 0);
        grid.lineTo(px(x), px(stageHeight));
    }
    for (int y = 0; y <= stageHeight; y += 25) {
        grid.moveTo(0, px(y));
        grid.lineTo(px(stageWidth), px(y));
    }
    const uint16_t gridId = movie.shape(grid);

    auto regular = [&movie](int corners, double radius, Rgba color, double width) {
        ShapeBuilder s;
        s.setStyles(0, s.addLine(px(width), color));
        QList<QPair<int, int>> points;
        for (int i = 0; i < corners; ++i) {
            const double a = -M_PI / 2 + i * 2 * M_PI / corners;
            points.append({px(radius * std::cos(a)), px(radius * std::sin(a))});
        }
        s.polygon(points);
        // Spokes from the centre give the figure depth when it turns.
        for (const auto& p : points) {
            s.moveTo(0, 0);
            s.lineTo(p.first, p.second);
        }
        return movie.shape(s);
    };
    struct Figure
    {
        uint16_t id;
        double x, y, turnPerLoop;
    };
    // Each figure turns by one of its symmetry steps per loop, so the loop is seamless.
    const std::array<Figure, 4> figures = {
        Figure{regular(3, 95, Rgba::hex(0x2a6fdb), 4), 455, 120, 120},
        Figure{regular(4, 70, Rgba::hex(0xf28c28), 3), 470, 310, -90},
        Figure{regular(6, 120, Rgba::hex(0x17a398), 2), 90, 330, 60},
        Figure{regular(5, 45, Rgba::hex(0x8e44ad), 2), 300, 360, -72},
    };
    const int frames = 96;
    TagList scene = timeline();
    scene.place(1, gridId, Matrix());
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / frames;
        for (int i = 0; i < int(figures.size()); ++i) {
            const Figure& fig = figures[i];
            const double pulse = 1 + 0.08 * std::sin(2 * M_PI * (t + i * 0.25));
            const Matrix m = at(fig.x, fig.y, fig.turnPerLoop * t, pulse);
            if (f == 0)
                scene.place(uint16_t(10 + i), fig.id, m);
            else
                scene.move(uint16_t(10 + i), m);
        }
        scene.showFrame();
    }
    return movie.sprite(scene);
}

uint16_t threeDScene(Movie& movie)
{
    const int horizon = 165;
    const double vanishX = stageWidth / 2.0;

    ShapeBuilder sun;
    sun.setStyles(sun.addFill(Rgba::hex(0xff3d7f, 210)), 0);
    sun.circle(px(vanishX), px(horizon), px(70));
    const uint16_t sunId = movie.shape(sun);

    ShapeBuilder ground;
    ground.setStyles(ground.addFill(Rgba::hex(0x0d1321)), 0);
    ground.rect(0, px(horizon), px(stageWidth), px(stageHeight - horizon));
    ground.setStyles(0, ground.addLine(px(1), Rgba::hex(0x3ad1ff, 150)));
    for (int x = -600; x <= stageWidth + 600; x += 60) {
        ground.moveTo(px(vanishX), px(horizon));
        ground.lineTo(px(x), px(stageHeight));
    }
    ground.setStyles(0, ground.addLine(px(2), Rgba::hex(0x9ff0ff)));
    ground.moveTo(0, px(horizon));
    ground.lineTo(px(stageWidth), px(horizon));
    const uint16_t groundId = movie.shape(ground);

    ShapeBuilder rung;
    rung.setStyles(0, rung.addLine(px(1.5), Rgba::hex(0x3ad1ff)));
    rung.moveTo(0, 0);
    rung.lineTo(px(stageWidth), 0);
    const uint16_t rungId = movie.shape(rung);

    // Lines across the floor at equal distances, coming closer: y = horizon + k / distance.
    const int frames = 36, rungs = 10;
    TagList scene = timeline();
    scene.place(1, sunId, Matrix());
    scene.place(2, groundId, Matrix());
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < rungs; ++i) {
            const double distance = rungs + 0.6 - i - double(f) / frames;
            const double y = horizon + (stageHeight - horizon) * 0.9 / distance;
            const double fade = std::min(1.0, 1.4 / distance + 0.15);
            const Matrix m = Matrix::translation(0, px(y));
            const ColorTransform c = ColorTransform::alpha(fade);
            if (f == 0)
                scene.place(uint16_t(10 + i), rungId, m, c);
            else
                scene.move(uint16_t(10 + i), m, c);
        }
        scene.showFrame();
    }
    return movie.sprite(scene);
}

uint16_t flowerSprite(Movie& movie, Rgba petalColor, Rgba heartColor)
{
    ShapeBuilder petal;
    petal.setStyles(petal.addFill(petalColor), petal.addLine(px(1), Rgba::hex(0xffffff, 160)));
    petal.ellipse(0, px(-17), px(8), px(14));
    const uint16_t petalId = movie.shape(petal);
    ShapeBuilder heart;
    heart.setStyles(heart.addFill(heartColor), 0);
    heart.circle(0, 0, px(7));
    const uint16_t heartId = movie.shape(heart);

    TagList flower = timeline();
    for (int i = 0; i < 6; ++i)
        flower.place(uint16_t(1 + i), petalId, at(0, 0, i * 60));
    flower.place(10, heartId, Matrix());
    flower.showFrame();
    return movie.sprite(flower);
}

uint16_t flowersScene(Movie& movie)
{
    ShapeBuilder meadow;
    meadow.setStyles(meadow.addFill(Rgba::hex(0xb8e0a8)), 0);
    meadow.moveTo(0, px(330));
    meadow.curveTo(px(140), px(300), px(275), px(335));
    meadow.curveTo(px(410), px(370), px(550), px(320));
    meadow.lineTo(px(550), px(400));
    meadow.lineTo(0, px(400));
    meadow.lineTo(0, px(330));
    const uint16_t meadowId = movie.shape(meadow);

    const std::array<uint16_t, 4> kinds = {
        flowerSprite(movie, Rgba::hex(0xff7eb6), Rgba::hex(0xffd23f)),
        flowerSprite(movie, Rgba::hex(0xa77bff), Rgba::hex(0xfff3b0)),
        flowerSprite(movie, Rgba::hex(0xff8c66), Rgba::hex(0x7a3b00)),
        flowerSprite(movie, Rgba::hex(0xffffff), Rgba::hex(0xffc300)),
    };

    ShapeBuilder loosePetal;
    loosePetal.setStyles(loosePetal.addFill(Rgba::hex(0xff9ecb, 220)), 0);
    loosePetal.ellipse(0, 0, px(4), px(7));
    const uint16_t loosePetalId = movie.shape(loosePetal);

    struct Bloom
    {
        double x, y, scale;
        int kind;
        double phase;
    };
    const std::array<Bloom, 8> blooms = {
        Bloom{40, 40, 1.3, 0, 0.0},   Bloom{510, 55, 1.0, 1, 0.3},  Bloom{500, 200, 1.4, 2, 0.6},
        Bloom{30, 210, 0.9, 3, 0.1},  Bloom{70, 360, 1.5, 1, 0.8},  Bloom{210, 372, 1.0, 3, 0.45},
        Bloom{360, 365, 1.2, 0, 0.2}, Bloom{500, 355, 1.1, 2, 0.7},
    };
    Random random(0xf10);
    struct Drift
    {
        double x, speedX, phase, spin;
    };
    std::array<Drift, 6> drifts{};
    for (Drift& d : drifts)
        d = {random.between(60, 490), random.between(-40, 40), random.next(),
             random.between(-2, 2)};

    const int frames = 120;
    TagList scene = timeline();
    scene.place(1, meadowId, Matrix());
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / frames;
        for (int i = 0; i < int(blooms.size()); ++i) {
            const Bloom& b = blooms[i];
            const double sway = std::sin(2 * M_PI * (t + b.phase));
            // Six petals: turning by 60 degrees a loop brings each flower back as it started.
            const Matrix m = at(b.x + 3 * sway, b.y + 4 * std::cos(2 * M_PI * (t + b.phase)),
                                (i % 2 ? -60 : 60) * t, b.scale * (1 + 0.05 * sway));
            if (f == 0)
                scene.place(uint16_t(20 + i), kinds[b.kind], m);
            else
                scene.move(uint16_t(20 + i), m);
        }
        for (int i = 0; i < int(drifts.size()); ++i) {
            const Drift& d = drifts[i];
            const double fall = std::fmod(t + d.phase, 1.0);
            const Matrix m = at(d.x + d.speedX * fall + 10 * std::sin(2 * M_PI * 2 * fall),
                                -20 + 440 * fall, 360 * d.spin * fall);
            if (f == 0)
                scene.place(uint16_t(40 + i), loosePetalId, m);
            else
                scene.move(uint16_t(40 + i), m);
        }
        scene.showFrame();
    }
    return movie.sprite(scene);
}

uint16_t cubeScene(Movie& movie)
{
    const double centreX = 445, centreY = 205, half = 62;
    ShapeBuilder glow;
    glow.setStyles(glow.addFill(Rgba::hex(0x7a5cff, 60)), 0);
    glow.circle(0, 0, px(125));
    const uint16_t glowId = movie.shape(glow);

    // The cube looks the same after a quarter turn about its upright axis: one quarter per loop.
    const int frames = 48;
    const double tilt = 24 * M_PI / 180;
    const std::array<std::array<int, 2>, 12> edges = {{{0, 1},
                                                       {1, 3},
                                                       {3, 2},
                                                       {2, 0},
                                                       {4, 5},
                                                       {5, 7},
                                                       {7, 6},
                                                       {6, 4},
                                                       {0, 4},
                                                       {1, 5},
                                                       {2, 6},
                                                       {3, 7}}};
    TagList scene = timeline();
    for (int f = 0; f < frames; ++f) {
        const double turn = (M_PI / 2) * f / frames;
        struct P
        {
            double x, y, z;
        };
        std::array<P, 8> p{};
        for (int v = 0; v < 8; ++v) {
            const double x = (v & 1 ? 1 : -1), y = (v & 2 ? 1 : -1), z = (v & 4 ? 1 : -1);
            const double x1 = x * std::cos(turn) + z * std::sin(turn);
            const double z1 = -x * std::sin(turn) + z * std::cos(turn);
            const double y2 = y * std::cos(tilt) - z1 * std::sin(tilt);
            const double z2 = y * std::sin(tilt) + z1 * std::cos(tilt);
            const double perspective = 4.0 / (4.0 + z2);
            p[v] = {x1 * half * perspective, y2 * half * perspective, z2};
        }
        ShapeBuilder cube;
        const int back = cube.addLine(px(2), Rgba::hex(0x5b4bb7));
        const int front = cube.addLine(px(3.5), Rgba::hex(0x7df9ff));
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& e : edges) {
                const bool isFront = (p[e[0]].z + p[e[1]].z) / 2 < 0.3;
                if (isFront != (pass == 1))
                    continue;
                cube.setStyles(0, isFront ? front : back);
                cube.moveTo(px(p[e[0]].x), px(p[e[0]].y));
                cube.lineTo(px(p[e[1]].x), px(p[e[1]].y));
            }
        }
        const uint16_t cubeId = movie.shape(cube);
        const double pulse = 0.85 + 0.15 * std::sin(2 * M_PI * f / frames);
        if (f == 0) {
            scene.place(1, glowId, at(centreX, centreY, 0, pulse));
        } else {
            scene.move(1, at(centreX, centreY, 0, pulse));
            scene.remove(2);
        }
        scene.place(2, cubeId, at(centreX, centreY));
        scene.showFrame();
    }
    return movie.sprite(scene);
}

uint16_t spirographScene(Movie& movie)
{
    // A hypotrochoid: a pen at distance d from the centre of a circle of radius r rolling
    // inside a circle of radius R; it closes after r / gcd(R, r) turns with R / gcd lobes.
    auto curve = [&movie](double bigR, double smallR, double pen, double scale, Rgba color,
                          double width) {
        ShapeBuilder s;
        s.setStyles(0, s.addLine(px(width), color));
        const int steps = 720;
        const double turns = smallR;
        for (int i = 0; i <= steps; ++i) {
            const double t = 2 * M_PI * turns * i / steps;
            const double k = (bigR - smallR) / smallR;
            const double x = (bigR - smallR) * std::cos(t) + pen * std::cos(k * t);
            const double y = (bigR - smallR) * std::sin(t) - pen * std::sin(k * t);
            if (i == 0)
                s.moveTo(px(x * scale), px(y * scale));
            else
                s.lineTo(px(x * scale), px(y * scale));
        }
        return movie.shape(s);
    };
    const uint16_t outer = curve(5, 3, 5, 17, Rgba::hex(0xd7263d), 1.5);
    const uint16_t inner = curve(7, 2, 4, 12, Rgba::hex(0x1b998b), 1);
    const uint16_t core = curve(4, 1, 1.6, 14, Rgba::hex(0xf49d37), 1.2);

    const double x = 410, y = 205;
    const int frames = 120;
    TagList scene = timeline();
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / frames;
        // Each curve turns by one of its lobes per loop.
        const Matrix a = at(x, y, 72 * t);
        const Matrix b = at(x, y, -360.0 / 7 * t, 1 + 0.06 * std::sin(2 * M_PI * t));
        const Matrix c = at(x, y, 90 * t, 0.9 + 0.1 * std::cos(2 * M_PI * t));
        const ColorTransform breathe = ColorTransform::alpha(0.65 + 0.35 * std::sin(2 * M_PI * t));
        if (f == 0) {
            scene.place(1, outer, a);
            scene.place(2, inner, b, breathe);
            scene.place(3, core, c);
        } else {
            scene.move(1, a);
            scene.move(2, b, breathe);
            scene.move(3, c);
        }
        scene.showFrame();
    }
    return movie.sprite(scene);
}

uint16_t matrixScene(Movie& movie, uint16_t fontId)
{
    Random random(0x3a7);
    const QString glyphs = QStringLiteral("0101ABCDEFXZ$#*+<>=");
    const int columns = 16, rows = 22;
    QList<uint16_t> columnIds;
    for (int c = 0; c < 4; ++c) {
        QString text;
        for (int r = 0; r < rows; ++r) {
            if (r)
                text += QLatin1Char('\n');
            text += glyphs.at(int(random.next() * glyphs.size()));
        }
        EditText field;
        field.id = movie.newId();
        field.bounds = pixels(0, 0, 20, rows * 18 + 8);
        field.fontId = fontId;
        field.fontHeight = px(15);
        field.color = Rgba::hex(0x00ff41);
        field.text = text;
        field.selectable = false;
        field.wordWrap = false;
        field.align = EditText::Align::Center;
        movie.tags.defineEditText(field);
        columnIds.append(field.id);
    }

    struct Rain
    {
        double x, phase, alpha;
        int laps;
        uint16_t id;
    };
    QList<Rain> rain;
    for (int i = 0; i < columns; ++i)
        rain.append({8 + i * 34.5, random.next(), random.between(0.35, 1.0),
                     1 + int(random.next() * 2), columnIds[i % columnIds.size()]});

    const int frames = 144;
    const double travel = stageHeight + rows * 18 + 20;
    TagList scene = timeline();
    for (int f = 0; f < frames; ++f) {
        const double t = double(f) / frames;
        for (int i = 0; i < int(rain.size()); ++i) {
            const Rain& r = rain[i];
            const double fall = std::fmod(t * r.laps + r.phase, 1.0);
            const Matrix m = at(r.x, -rows * 18 - 10 + travel * fall);
            const ColorTransform c = ColorTransform::alpha(r.alpha);
            if (f == 0)
                scene.place(uint16_t(1 + i), r.id, m, c);
            else
                scene.move(uint16_t(1 + i), m);
        }
        scene.showFrame();
    }
    return movie.sprite(scene);
}

uint16_t preloaderScene(Movie& movie)
{
    const int barX = 125, barY = 250, barWidth = 300, barHeight = 14;
    ShapeBuilder track;
    track.setStyles(track.addFill(Rgba::hex(0x33393f)), track.addLine(px(1), Rgba::hex(0x8a949e)));
    track.rect(px(barX), px(barY), px(barWidth), px(barHeight));
    const uint16_t trackId = movie.shape(track);

    ShapeBuilder bar;
    bar.setStyles(bar.addFill(Rgba::hex(0x3fa9f5)), 0);
    bar.rect(0, 0, px(barWidth - 4), px(barHeight - 4));
    const uint16_t barId = movie.shape(bar);

    // A ring of dots fading round the circle: turned a dot further every few frames.
    ShapeBuilder ring;
    const int dots = 12;
    for (int i = 0; i < dots; ++i) {
        ring.setStyles(ring.addFill(Rgba::hex(0xffffff, uint8_t(40 + 215 * i / (dots - 1)))), 0);
        const double a = i * 2 * M_PI / dots;
        ring.circle(px(34 * std::cos(a)), px(34 * std::sin(a)), px(4.5));
    }
    const uint16_t ringId = movie.shape(ring);

    const int frames = 72;
    TagList scene = timeline();
    scene.place(1, trackId, Matrix());
    for (int f = 0; f < frames; ++f) {
        const double filled = std::max(0.01, double(f + 1) / frames);
        Matrix m = Matrix::translation(px(barX + 2), px(barY + 2));
        m.scaleX = filled;
        const Matrix spin = at(275, 165, 360.0 / dots * (f / 3));
        if (f == 0) {
            scene.place(2, barId, m);
            scene.place(3, ringId, spin);
        } else {
            scene.move(2, m);
            scene.move(3, spin);
        }
        scene.showFrame();
    }
    return movie.sprite(scene);
}

struct Effect
{
    const char* effectName;
    Look look;
    std::function<uint16_t(Movie&, const Look&)> scene;
};

const QList<Effect>& effects()
{
    using A = EditText::Align;
    static const QList<Effect> table = {
        {"Fireworks",
         {Rgba::hex(0x07071f),
          Rgba::hex(0xffd166),
          Rgba::hex(0xf15bb5),
          Rgba::hex(0xffffff),
          Rgba::hex(0x07071f, 150),
          "_sans",
          34,
          {pixels(0, 14, 550, 44), A::Center, 60, 150, 430, 240, A::Center}},
         [](Movie& m, const Look&) { return fireworksScene(m); }},
        {"Vector",
         {Rgba::hex(0xf4f6fb),
          Rgba::hex(0x2a6fdb),
          Rgba::hex(0xf28c28),
          Rgba::hex(0x1d2433),
          Rgba::hex(0xffffff, 190),
          "_sans",
          30,
          {pixels(24, 14, 380, 40), A::Left, 24, 66, 360, 270, A::Left}},
         [](Movie& m, const Look&) { return vectorScene(m); }},
        {"3d",
         {Rgba::hex(0x0d1321),
          Rgba::hex(0x9ff0ff),
          Rgba::hex(0xff7fb0),
          Rgba::hex(0xffffff),
          Rgba::hex(0x0d1321, 170),
          "_sans",
          32,
          {pixels(0, 12, 550, 44), A::Center, 70, 70, 410, 320, A::Center}},
         [](Movie& m, const Look&) { return threeDScene(m); }},
        {"flower",
         {Rgba::hex(0xeaf6e3),
          Rgba::hex(0xc2185b),
          Rgba::hex(0x6a1b9a),
          Rgba::hex(0x2e3b2a),
          Rgba::hex(0xffffff, 170),
          "_serif",
          32,
          {pixels(0, 16, 550, 44), A::Center, 95, 74, 360, 270, A::Center}},
         [](Movie& m, const Look&) { return flowersScene(m); }},
        {"cube",
         {Rgba::hex(0x1b1035),
          Rgba::hex(0x7df9ff),
          Rgba::hex(0xb39dff),
          Rgba::hex(0xf2ecff),
          Rgba::hex(0x000000, 0),
          "_sans",
          30,
          {pixels(20, 14, 320, 40), A::Left, 20, 66, 310, 320, A::Left}},
         [](Movie& m, const Look&) { return cubeScene(m); }},
        {"spirograph",
         {Rgba::hex(0xfffaf0),
          Rgba::hex(0xd7263d),
          Rgba::hex(0x1b998b),
          Rgba::hex(0x2b2118),
          Rgba::hex(0xfffaf0, 200),
          "_serif",
          30,
          {pixels(20, 14, 300, 40), A::Left, 20, 66, 290, 320, A::Left}},
         [](Movie& m, const Look&) { return spirographScene(m); }},
        {"Matrix",
         {Rgba::hex(0x000000),
          Rgba::hex(0x00ff41),
          Rgba::hex(0x00b32d),
          Rgba::hex(0xb6ffc8),
          Rgba::hex(0x000000, 200),
          "_typewriter",
          30,
          {pixels(0, 12, 550, 44), A::Center, 85, 66, 380, 320, A::Left}},
         [](Movie& m, const Look& look) { return matrixScene(m, m.font(look.font)); }},
        {"Preloader",
         {Rgba::hex(0x202428),
          Rgba::hex(0xffffff),
          Rgba::hex(0x8a949e),
          Rgba::hex(0xe8eef3),
          Rgba::hex(0x000000, 0),
          "_sans",
          28,
          {pixels(0, 40, 550, 40), A::Center, 75, 282, 400, 100, A::Center}},
         [](Movie& m, const Look&) { return preloaderScene(m); }},
    };
    return table;
}

// ----- what every movie does: load the content files and report -----

// lq_check(): sends the lq_loaded report once every variable has arrived, or once with what has
// arrived when the wait is over (and then once more if the rest comes).
ActionWriter checkFunction(const lq::Template& templ, const QList<lq::ContentFile>& files)
{
    ActionWriter a(movieVersion);
    const auto done = a.newLabel();

    a.getVariable(QStringLiteral("lq_sent"));
    a.push(2);
    a.op(ActionEquals2);
    a.jumpIfTrue(done);

    a.push("r");
    a.push("");
    a.op(ActionDefineLocal);
    a.push("all");
    a.push(true);
    a.op(ActionDefineLocal);

    for (const lq::ContentFile& file : files) {
        const QString variable = file.variable();
        const auto missing = a.newLabel();
        const auto next = a.newLabel();
        // r = r + "<variable>=" + (arrived ? length + ":" + value : "-1:") + ";"
        a.push("r");
        a.getVariable(QStringLiteral("r"));
        a.push(variable + QLatin1Char('='));
        a.op(ActionAdd2);
        a.getVariable(variable);
        a.op(ActionTypeOf);
        a.push("undefined");
        a.op(ActionEquals2);
        a.jumpIfTrue(missing);
        a.getVariable(variable);
        a.op(ActionToString);
        a.push("length");
        a.op(ActionGetMember);
        a.op(ActionAdd2);
        a.push(":");
        a.op(ActionAdd2);
        a.getVariable(variable);
        a.op(ActionToString);
        a.op(ActionAdd2);
        a.push(";");
        a.op(ActionAdd2);
        a.jump(next);
        a.bind(missing);
        a.push("-1:;");
        a.op(ActionAdd2);
        a.push("all");
        a.push(false);
        a.op(ActionSetVariable);
        a.bind(next);
        a.op(ActionSetVariable);
    }

    const QString effect = templ.effectName;
    const auto incomplete = a.newLabel();
    a.getVariable(QStringLiteral("all"));
    a.op(ActionNot);
    a.jumpIfTrue(incomplete);
    a.push(QStringLiteral("FSCommand:") + QString::fromLatin1(loadedCommand));
    a.push(QStringLiteral("complete|") + effect + QLatin1Char('|'));
    a.getVariable(QStringLiteral("r"));
    a.op(ActionAdd2);
    a.getUrl2(GetUrlFlags::methodNone);
    a.push("lq_sent");
    a.push(2);
    a.op(ActionSetVariable);
    a.jump(done);

    a.bind(incomplete);
    // Only one partial report, and only once the wait is over.
    a.getVariable(QStringLiteral("lq_sent"));
    a.push(0);
    a.op(ActionEquals2);
    a.op(ActionNot);
    a.jumpIfTrue(done);
    a.op(ActionGetTime);
    a.getVariable(QStringLiteral("lq_start"));
    a.op(ActionSubtract);
    a.push(partialReportAfterMs);
    a.op(ActionLess2);
    a.jumpIfTrue(done);
    a.push(QStringLiteral("FSCommand:") + QString::fromLatin1(loadedCommand));
    a.push(QStringLiteral("partial|") + effect + QLatin1Char('|'));
    a.getVariable(QStringLiteral("r"));
    a.op(ActionAdd2);
    a.getUrl2(GetUrlFlags::methodNone);
    a.push("lq_sent");
    a.push(1);
    a.op(ActionSetVariable);

    a.bind(done);
    return a;
}

QByteArray firstFrameActions(const lq::Template& templ, const QList<lq::ContentFile>& files)
{
    ActionWriter a(movieVersion);
    a.fscommand(QString::fromLatin1(frameCommand), templ.effectName);

    a.push("lq_start");
    a.op(ActionGetTime);
    a.op(ActionSetVariable);
    a.push("lq_sent");
    a.push(0);
    a.op(ActionSetVariable);
    a.defineFunction(QStringLiteral("lq_check"), {}, checkFunction(templ, files));

    for (const lq::ContentFile& file : files)
        a.loadVariablesNum(fileNameOf(file.path), 0);
    a.op(ActionStop);
    return a.code();
}

// Calls _root.lq_check() on every frame of a two-frame loop.
QByteArray tickActions()
{
    ActionWriter a(movieVersion);
    a.push(0);
    a.getVariable(QStringLiteral("_root"));
    a.push("lq_check");
    a.op(ActionCallMethod);
    a.op(ActionPop);
    return a.code();
}

} // namespace

QString relativeToDrive(const QString& windowsPath)
{
    return partsOf(windowsPath).join(QLatin1Char('/'));
}

QString fileNameOf(const QString& windowsPath)
{
    return partsOf(windowsPath).last();
}

QByteArray templateMovie(const lq::Template& templ, const QList<lq::ContentFile>& files)
{
    const Effect* effect = nullptr;
    for (const Effect& e : effects()) {
        if (templ.effectName == QLatin1String(e.effectName))
            effect = &e;
    }
    if (!effect)
        throw std::invalid_argument("no look for this template");
    for (const lq::ContentFile& file : files) {
        // A movie reads its files beside itself.
        if (lq::DrivePaths::folderOf(file.path).value().compare(
                lq::DrivePaths::folderOf(templ.movie).value(), Qt::CaseInsensitive) != 0)
            throw std::invalid_argument("content file outside its movie's folder");
    }
    const Look& look = effect->look;
    const Layout& layout = look.layout;

    Movie movie;
    movie.tags.setBackgroundColor(look.background);
    const uint16_t fontId = movie.font(look.font);
    const uint16_t sceneId = effect->scene(movie, look);

    TagList ticker = timeline();
    for (int f = 0; f < 2; ++f) {
        ticker.doAction(tickActions());
        ticker.showFrame();
    }
    const uint16_t tickerId = movie.sprite(ticker);

    uint16_t panelId = 0;
    if (look.panelColor.a > 0) {
        ShapeBuilder panel;
        panel.setStyles(panel.addFill(look.panelColor), 0);
        panel.rect(px(layout.x - 10), px(layout.y - 8), px(layout.width + 20),
                   px(layout.height + 12));
        panelId = movie.shape(panel);
    }

    EditText title;
    title.id = movie.newId();
    title.bounds = layout.title;
    title.fontId = fontId;
    title.fontHeight = px(look.titleHeight);
    title.color = look.titleColor;
    title.text = templ.effectName;
    title.align = layout.titleAlign;
    title.multiline = false;
    title.wordWrap = false;
    title.selectable = false;
    movie.tags.defineEditText(title);

    // One label and one text field per content file, top to bottom in table order.
    const int rows = int(files.size());
    const int rowHeight = layout.height / std::max(1, rows);
    QList<QPair<uint16_t, uint16_t>> sections;
    for (int i = 0; i < rows; ++i) {
        const int top = layout.y + i * rowHeight;
        EditText label;
        label.id = movie.newId();
        label.bounds = pixels(layout.x, top, layout.width, 16);
        label.fontId = fontId;
        label.fontHeight = px(11);
        label.color = look.labelColor;
        label.text = files[i].variable();
        label.align = layout.textAlign;
        label.multiline = false;
        label.wordWrap = false;
        label.selectable = false;
        movie.tags.defineEditText(label);

        EditText value;
        value.id = movie.newId();
        value.bounds = pixels(layout.x, top + 14, layout.width, std::max(20, rowHeight - 16));
        value.fontId = fontId;
        value.fontHeight = px(rows == 1 ? 16 : 13);
        value.color = look.textColor;
        value.variable = files[i].variable();
        value.align = layout.textAlign;
        movie.tags.defineEditText(value);
        sections.append({label.id, value.id});
    }

    movie.tags.doAction(firstFrameActions(templ, files));
    movie.tags.place(1, sceneId, Matrix());
    movie.tags.place(2, tickerId, Matrix());
    if (panelId)
        movie.tags.place(5, panelId, Matrix());
    movie.tags.place(10, title.id, Matrix());
    for (int i = 0; i < sections.size(); ++i) {
        movie.tags.place(uint16_t(20 + 2 * i), sections[i].first, Matrix());
        movie.tags.place(uint16_t(21 + 2 * i), sections[i].second, Matrix());
    }
    movie.tags.showFrame();

    MovieHeader header;
    header.version = movieVersion;
    header.widthPixels = stageWidth;
    header.heightPixels = stageHeight;
    header.frameRate = frameRate;
    return movieFile(header, movie.tags);
}

QList<StandInMovie> standInMovies()
{
    QList<StandInMovie> movies;
    for (const lq::Template& templ : lq::templates()) {
        QList<lq::ContentFile> files;
        for (const lq::ContentFile& file : lq::contentFiles()) {
            if (file.effectName == templ.effectName)
                files.append(file);
        }
        movies.append({relativeToDrive(templ.movie), templateMovie(templ, files)});
    }
    return movies;
}

} // namespace swfgen
