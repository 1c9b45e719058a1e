#pragma once
// The preview dialog of the picture processor: the source picture, the
// adjusted result, one page of settings per adjustment, "Lock preview" (the
// result follows every change of a setting) and OK / Cancel. The dialog never
// changes the source; the caller applies Result() after OK.
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QRect>

#include <functional>
#include <vector>

class QCheckBox;
class QPushButton;
class QTabWidget;

enum class TPreviewSet {
    Process, // "Contrast", "HSV", "HSL", "RGB", "User filter", "Equalization", "FFT"
    Effects, // "Bump map", "Lens", "Wave", "Morph filters", "Rotate"
};

// The spectrum of the FFT page: shows the region kept or removed, and a drag
// on it sets that region.
class TSpectrumView : public QLabel {
    Q_OBJECT
public:
    explicit TSpectrumView(QWidget *parent = nullptr);
    void SetSpectrum(const QImage &spectrum);
    void SetRegion(const QRect &region);

signals:
    void RegionDragged(const QRect &region);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QPoint ToSpectrum(QPoint widgetPixel) const;
    QImage Spectrum;
    QRect Region;
    QPoint DragStart;
};

class TPreviews : public QDialog {
    Q_OBJECT
public:
    TPreviews(TPreviewSet set, const QImage &source, QWidget *parent = nullptr);

    // The source adjusted by the current page with its current settings.
    QImage Result() const;
    // Shows Result() now (done on every change while "Lock preview" is on).
    void Refresh();
    // The page with this title, made current; false when there is none.
    bool ShowPage(const QString &title);

    QTabWidget *Pages = nullptr;
    QCheckBox *LockPreview = nullptr;
    QPushButton *PreviewButton = nullptr;
    QLabel *SourceView = nullptr;
    QLabel *ResultView = nullptr;
    TSpectrumView *SpectrumView = nullptr;

private:
    struct TPage {
        QString Title;
        std::function<QImage(const QImage &)> Apply;
    };
    void AddPage(const QString &title, QWidget *page, std::function<QImage(const QImage &)> apply);
    void BuildProcessPages();
    void BuildEffectsPages();
    void SettingChanged();
    QImage Source;
    std::vector<TPage> PageList;
};
