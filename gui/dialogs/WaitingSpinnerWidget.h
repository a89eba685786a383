// The animated waiting indicator: a ring of rounded lines whose highlight turns while a job runs,
// the lines behind it fading out. Optionally centred on its parent and disabling it while spinning.
#pragma once

#include <QColor>
#include <QWidget>

class QTimer;

class WaitingSpinnerWidget : public QWidget {
    Q_OBJECT

public:
    explicit WaitingSpinnerWidget(QWidget* parent = nullptr, bool centerOnParent = true,
                                  bool disableParentWhenSpinning = true);
    // A frameless window of its own with a translucent background and the given modality.
    WaitingSpinnerWidget(Qt::WindowModality modality, QWidget* parent = nullptr, bool centerOnParent = true,
                         bool disableParentWhenSpinning = true);

    void start();
    void stop();
    bool isSpinning() const { return m_isSpinning; }

    void setColor(const QColor& color);
    void setRoundness(double roundness); // percent, clamped to 0..100
    void setMinimumTrailOpacity(double percent);
    void setTrailFadePercentage(double percent);
    void setRevolutionsPerSecond(double revolutions); // non-positive values are ignored
    void setNumberOfLines(int lines);                 // at least one line
    void setLineLength(int pixels);
    void setLineWidth(int pixels);
    void setInnerRadius(int pixels);

    QColor color() const { return m_color; }
    double roundness() const { return m_roundness; }
    double minimumTrailOpacity() const { return m_minimumTrailOpacity; }
    double trailFadePercentage() const { return m_trailFadePercentage; }
    double revolutionsPerSecond() const { return m_revolutionsPerSecond; }
    int numberOfLines() const { return m_numberOfLines; }
    int lineLength() const { return m_lineLength; }
    int lineWidth() const { return m_lineWidth; }
    int innerRadius() const { return m_innerRadius; }

    // The colour of a line `distance` steps behind the highlighted one: full colour at distance 0,
    // fading linearly over the trail, then the minimum opacity.
    static QColor colorForDistance(int distance, int numberOfLines, double trailFadePercentage,
                                   double minimumTrailOpacity, const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initialize();
    void rotate();
    void updateSize();
    void updateTimer();
    void updatePosition();
    int distanceBehindCurrent(int line) const;

    QColor m_color = Qt::black;
    double m_roundness = 100.0;
    double m_minimumTrailOpacity = 3.14159265358979;
    double m_trailFadePercentage = 80.0;
    double m_revolutionsPerSecond = 1.5707963267949;
    int m_numberOfLines = 20;
    int m_lineLength = 10;
    int m_lineWidth = 2;
    int m_innerRadius = 10;

    bool m_centerOnParent;
    bool m_disableParentWhenSpinning;
    QTimer* m_timer = nullptr;
    int m_currentCounter = 0;
    bool m_isSpinning = false;
};
