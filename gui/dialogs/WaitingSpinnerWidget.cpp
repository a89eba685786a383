#include "gui/dialogs/WaitingSpinnerWidget.h"

#include <QEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

WaitingSpinnerWidget::WaitingSpinnerWidget(QWidget* parent, bool centerOnParent,
                                           bool disableParentWhenSpinning)
    : QWidget(parent), m_centerOnParent(centerOnParent),
      m_disableParentWhenSpinning(disableParentWhenSpinning) {
    initialize();
}

WaitingSpinnerWidget::WaitingSpinnerWidget(Qt::WindowModality modality, QWidget* parent, bool centerOnParent,
                                           bool disableParentWhenSpinning)
    : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint), m_centerOnParent(centerOnParent),
      m_disableParentWhenSpinning(disableParentWhenSpinning) {
    initialize();
    setWindowModality(modality);
    setAttribute(Qt::WA_TranslucentBackground);
}

void WaitingSpinnerWidget::initialize() {
    setAccessibleName("Working");
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &WaitingSpinnerWidget::rotate);
    updateSize();
    updateTimer();
    hide();
    // A parent laid out after the spinner started (the waiting dialog's frame) moves it back to the
    // centre at once, not only at the next repaint.
    if (parentWidget() && m_centerOnParent)
        parentWidget()->installEventFilter(this);
}

bool WaitingSpinnerWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        updatePosition();
    return QWidget::eventFilter(watched, event);
}

void WaitingSpinnerWidget::start() {
    updatePosition();
    m_isSpinning = true;
    show();
    if (parentWidget() && m_disableParentWhenSpinning)
        parentWidget()->setEnabled(false);
    if (!m_timer->isActive()) {
        m_timer->start();
        m_currentCounter = 0;
    }
}

void WaitingSpinnerWidget::stop() {
    m_isSpinning = false;
    hide();
    if (parentWidget() && m_disableParentWhenSpinning)
        parentWidget()->setEnabled(true);
    m_timer->stop();
    m_currentCounter = 0;
}

void WaitingSpinnerWidget::setColor(const QColor& color) {
    m_color = color;
}

void WaitingSpinnerWidget::setRoundness(double roundness) {
    m_roundness = std::clamp(roundness, 0.0, 100.0);
}

void WaitingSpinnerWidget::setMinimumTrailOpacity(double percent) {
    m_minimumTrailOpacity = percent;
}

void WaitingSpinnerWidget::setTrailFadePercentage(double percent) {
    m_trailFadePercentage = percent;
}

// A zero or negative speed would divide the timer interval by zero; the last sound speed stays.
void WaitingSpinnerWidget::setRevolutionsPerSecond(double revolutions) {
    if (!(revolutions > 0.0) || !std::isfinite(revolutions))
        return;
    m_revolutionsPerSecond = revolutions;
    updateTimer();
}

// The ring needs at least one line: the angle step and the counter's wrap divide by the count.
void WaitingSpinnerWidget::setNumberOfLines(int lines) {
    m_numberOfLines = std::max(1, lines);
    m_currentCounter = 0;
    updateTimer();
}

void WaitingSpinnerWidget::setLineLength(int pixels) {
    m_lineLength = pixels;
    updateSize();
}

void WaitingSpinnerWidget::setLineWidth(int pixels) {
    m_lineWidth = pixels;
    updateSize();
}

void WaitingSpinnerWidget::setInnerRadius(int pixels) {
    m_innerRadius = pixels;
    updateSize();
}

void WaitingSpinnerWidget::rotate() {
    ++m_currentCounter;
    if (m_currentCounter >= m_numberOfLines)
        m_currentCounter = 0;
    update();
}

void WaitingSpinnerWidget::updateSize() {
    int side = 2 * (m_innerRadius + m_lineLength);
    setFixedSize(side, side);
}

void WaitingSpinnerWidget::updateTimer() {
    // The highlight passes every line once per revolution.
    m_timer->setInterval(static_cast<int>(1000.0 / (m_numberOfLines * m_revolutionsPerSecond)));
}

void WaitingSpinnerWidget::updatePosition() {
    if (parentWidget() && m_centerOnParent)
        move(parentWidget()->width() / 2 - width() / 2, parentWidget()->height() / 2 - height() / 2);
}

int WaitingSpinnerWidget::distanceBehindCurrent(int line) const {
    int distance = (m_currentCounter - line) % m_numberOfLines;
    return distance < 0 ? distance + m_numberOfLines : distance;
}

QColor WaitingSpinnerWidget::colorForDistance(int distance, int numberOfLines, double trailFadePercentage,
                                              double minimumTrailOpacity, const QColor& color) {
    if (distance == 0)
        return color;
    QColor result = color;
    const double minimumAlpha = minimumTrailOpacity / 100.0;
    const int threshold = static_cast<int>(std::ceil((numberOfLines - 1) * trailFadePercentage / 100.0));
    if (distance > threshold) {
        result.setAlphaF(std::clamp(minimumAlpha, 0.0, 1.0));
        return result;
    }
    const double step = (color.alphaF() - minimumAlpha) / (threshold + 1);
    result.setAlphaF(std::clamp(color.alphaF() - distance * step, 0.0, 1.0));
    return result;
}

void WaitingSpinnerWidget::paintEvent(QPaintEvent*) {
    updatePosition();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::transparent);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    const int centre = m_innerRadius + m_lineLength;
    for (int line = 0; line < m_numberOfLines; ++line) {
        painter.save();
        painter.translate(centre, centre);
        painter.rotate(line * 360.0 / m_numberOfLines);
        painter.translate(m_innerRadius, 0);
        painter.setBrush(colorForDistance(distanceBehindCurrent(line), m_numberOfLines, m_trailFadePercentage,
                                          m_minimumTrailOpacity, m_color));
        painter.drawRoundedRect(QRectF(0, -m_lineWidth / 2, m_lineLength, m_lineWidth), m_roundness,
                                m_roundness, Qt::RelativeSize);
        painter.restore();
    }
}
