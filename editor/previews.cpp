#include "editor/previews.h"

#include "editor/adjust.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr QSize kThumb(256, 192);

QPixmap Thumb(const QImage &img)
{
    if (img.isNull())
        return {};
    return QPixmap::fromImage(img.scaled(kThumb, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
} // namespace

TSpectrumView::TSpectrumView(QWidget *parent) : QLabel(parent)
{
    setFixedSize(kThumb);
    setCursor(Qt::CrossCursor);
}

void TSpectrumView::SetSpectrum(const QImage &spectrum)
{
    Spectrum = spectrum;
    update();
}

void TSpectrumView::SetRegion(const QRect &region)
{
    Region = region;
    update();
}

QPoint TSpectrumView::ToSpectrum(QPoint v) const
{
    if (Spectrum.isNull())
        return {};
    return QPoint(v.x() * Spectrum.width() / width(), v.y() * Spectrum.height() / height());
}

void TSpectrumView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (Spectrum.isNull())
        return;
    p.drawImage(rect(), Spectrum);
    const double sx = double(width()) / Spectrum.width(), sy = double(height()) / Spectrum.height();
    p.setPen(QPen(Qt::yellow, 1, Qt::DashLine));
    p.drawRect(QRectF(Region.x() * sx, Region.y() * sy, Region.width() * sx, Region.height() * sy));
}

void TSpectrumView::mousePressEvent(QMouseEvent *e)
{
    DragStart = ToSpectrum(e->position().toPoint());
}

void TSpectrumView::mouseMoveEvent(QMouseEvent *e)
{
    if (!(e->buttons() & Qt::LeftButton) || Spectrum.isNull())
        return;
    const QRect r = QRect(DragStart, ToSpectrum(e->position().toPoint())).normalized().intersected(Spectrum.rect());
    if (!r.isEmpty())
        emit RegionDragged(r);
}

TPreviews::TPreviews(TPreviewSet set, const QImage &source, QWidget *parent)
    : QDialog(parent), Source(source.convertToFormat(QImage::Format_RGB888))
{
    setWindowTitle(QStringLiteral("Previews"));
    setModal(true);

    auto *pictures = new QGridLayout;
    pictures->addWidget(new QLabel(QStringLiteral("Source:")), 0, 0);
    pictures->addWidget(new QLabel(QStringLiteral("Result:")), 0, 1);
    SourceView = new QLabel;
    ResultView = new QLabel;
    for (QLabel *l : {SourceView, ResultView}) {
        l->setFixedSize(kThumb);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
    }
    SourceView->setPixmap(Thumb(Source));
    pictures->addWidget(SourceView, 1, 0);
    pictures->addWidget(ResultView, 1, 1);

    Pages = new QTabWidget;
    if (set == TPreviewSet::Process)
        BuildProcessPages();
    else
        BuildEffectsPages();
    connect(Pages, &QTabWidget::currentChanged, this, [this] { SettingChanged(); });

    LockPreview = new QCheckBox(QStringLiteral("Lock preview"));
    LockPreview->setChecked(true);
    PreviewButton = new QPushButton(QStringLiteral("Preview"));
    PreviewButton->setEnabled(false);
    connect(LockPreview, &QCheckBox::toggled, this, [this](bool on) {
        PreviewButton->setEnabled(!on);
        if (on)
            Refresh();
    });
    connect(PreviewButton, &QPushButton::clicked, this, &TPreviews::Refresh);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(LockPreview);
    bottom->addWidget(PreviewButton);
    bottom->addStretch();
    bottom->addWidget(buttons);

    auto *main = new QVBoxLayout(this);
    main->addLayout(pictures);
    main->addWidget(Pages);
    main->addLayout(bottom);
    Refresh();
}

void TPreviews::AddPage(const QString &title, QWidget *page, std::function<QImage(const QImage &)> apply)
{
    Pages->addTab(page, title);
    PageList.push_back({title, std::move(apply)});
}

QImage TPreviews::Result() const
{
    const int i = Pages->currentIndex();
    if (i < 0 || size_t(i) >= PageList.size())
        return Source;
    return PageList[size_t(i)].Apply(Source);
}

void TPreviews::Refresh()
{
    ResultView->setPixmap(Thumb(Result()));
}

bool TPreviews::ShowPage(const QString &title)
{
    for (size_t i = 0; i < PageList.size(); ++i)
        if (PageList[i].Title == title) {
            Pages->setCurrentIndex(int(i));
            return true;
        }
    return false;
}

void TPreviews::SettingChanged()
{
    if (LockPreview && LockPreview->isChecked())
        Refresh();
}

namespace {
// A named setting on a page's form; every change reaches the dialog.
template <class Box, class V>
Box *Setting(QFormLayout *form, const QString &name, const QString &label, V min, V max, V value,
             const std::function<void()> &changed)
{
    auto *box = new Box;
    box->setObjectName(name);
    box->setRange(min, max);
    box->setValue(value);
    QObject::connect(box, &Box::valueChanged, box, [changed] { changed(); });
    form->addRow(label, box);
    return box;
}
} // namespace

void TPreviews::BuildProcessPages()
{
    const auto changed = [this] { SettingChanged(); };
    const int w = Source.width(), h = Source.height();
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *c = Setting<QSpinBox>(form, "Contrast", "Contrast (%)", -100, 100, 0, changed);
        auto *b = Setting<QSpinBox>(form, "Brightness", "Brightness", -255, 255, 0, changed);
        AddPage("Contrast", page, [c, b](const QImage &s) { return AdjustContrast(s, c->value(), b->value()); });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *hue = Setting<QSpinBox>(form, "HsvHue", "Hue (degrees)", -180, 180, 0, changed);
        auto *sat = Setting<QSpinBox>(form, "HsvSaturation", "Saturation (%)", -100, 100, 0, changed);
        auto *val = Setting<QSpinBox>(form, "HsvValue", "Value (%)", -100, 100, 0, changed);
        AddPage("HSV", page,
                [hue, sat, val](const QImage &s) { return AdjustHsv(s, hue->value(), sat->value(), val->value()); });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *hue = Setting<QSpinBox>(form, "HslHue", "Hue (degrees)", -180, 180, 0, changed);
        auto *sat = Setting<QSpinBox>(form, "HslSaturation", "Saturation (%)", -100, 100, 0, changed);
        auto *lum = Setting<QSpinBox>(form, "HslLightness", "Lightness (%)", -100, 100, 0, changed);
        AddPage("HSL", page,
                [hue, sat, lum](const QImage &s) { return AdjustHsl(s, hue->value(), sat->value(), lum->value()); });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *r = Setting<QSpinBox>(form, "Red", "Red", -255, 255, 0, changed);
        auto *g = Setting<QSpinBox>(form, "Green", "Green", -255, 255, 0, changed);
        auto *b = Setting<QSpinBox>(form, "Blue", "Blue", -255, 255, 0, changed);
        AddPage("RGB", page, [r, g, b](const QImage &s) { return AdjustRgb(s, r->value(), g->value(), b->value()); });
    }
    {
        auto *page = new QWidget;
        auto *grid = new QGridLayout;
        std::array<QSpinBox *, 9> cells{};
        for (int i = 0; i < 9; ++i) {
            auto *cell = new QSpinBox;
            cell->setObjectName(QStringLiteral("Kernel%1").arg(i));
            cell->setRange(-99, 99);
            cell->setValue(i == 4 ? 1 : 0);
            connect(cell, &QSpinBox::valueChanged, this, changed);
            grid->addWidget(cell, i / 3, i % 3);
            cells[size_t(i)] = cell;
        }
        auto *outer = new QVBoxLayout(page);
        outer->addWidget(new QLabel(QStringLiteral("Kernel:")));
        outer->addLayout(grid);
        auto *form = new QFormLayout;
        outer->addLayout(form);
        auto *div = Setting<QSpinBox>(form, "Divisor", "Divisor", -999, 999, 1, changed);
        auto *bias = Setting<QSpinBox>(form, "Bias", "Bias", -255, 255, 0, changed);
        AddPage("User filter", page, [cells, div, bias](const QImage &s) {
            std::array<int, 9> k{};
            for (size_t i = 0; i < 9; ++i)
                k[i] = cells[i]->value();
            return UserFilter(s, k, div->value(), bias->value());
        });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *lum = new QCheckBox(QStringLiteral("Luminance only"));
        lum->setObjectName("LuminanceOnly");
        connect(lum, &QCheckBox::toggled, this, changed);
        form->addRow(lum);
        AddPage("Equalization", page, [lum](const QImage &s) { return Equalize(s, lum->isChecked()); });
    }
    {
        auto *page = new QWidget;
        auto *row = new QHBoxLayout(page);
        SpectrumView = new TSpectrumView;
        SpectrumView->SetSpectrum(FftSpectrum(Source));
        row->addWidget(SpectrumView);
        auto *form = new QFormLayout;
        row->addLayout(form);
        // A centred quarter kept: the low frequencies, a gentle blur.
        auto *left = Setting<QSpinBox>(form, "RegionLeft", "Left", 0, std::max(0, w - 1), w * 3 / 8, changed);
        auto *top = Setting<QSpinBox>(form, "RegionTop", "Top", 0, std::max(0, h - 1), h * 3 / 8, changed);
        auto *width = Setting<QSpinBox>(form, "RegionWidth", "Width", 1, std::max(1, w), std::max(1, w / 4), changed);
        auto *height = Setting<QSpinBox>(form, "RegionHeight", "Height", 1, std::max(1, h), std::max(1, h / 4), changed);
        auto *keep = new QRadioButton(QStringLiteral("Keep region"));
        auto *remove = new QRadioButton(QStringLiteral("Remove region"));
        keep->setObjectName("KeepRegion");
        remove->setObjectName("RemoveRegion");
        keep->setChecked(true);
        connect(keep, &QRadioButton::toggled, this, changed);
        form->addRow(keep);
        form->addRow(remove);
        auto region = [left, top, width, height] {
            return QRect(left->value(), top->value(), width->value(), height->value());
        };
        auto show = [this, region] { SpectrumView->SetRegion(region()); };
        for (QSpinBox *b : {left, top, width, height})
            connect(b, &QSpinBox::valueChanged, this, show);
        show();
        connect(SpectrumView, &TSpectrumView::RegionDragged, this, [left, top, width, height](const QRect &r) {
            left->setValue(r.left());
            top->setValue(r.top());
            width->setValue(r.width());
            height->setValue(r.height());
        });
        AddPage("FFT", page, [region, keep](const QImage &s) { return FftFilter(s, region(), keep->isChecked()); });
    }
}

void TPreviews::BuildEffectsPages()
{
    const auto changed = [this] { SettingChanged(); };
    const int w = Source.width(), h = Source.height();
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *az = Setting<QSpinBox>(form, "Azimuth", "Light from (degrees)", 0, 359, 135, changed);
        auto *el = Setting<QSpinBox>(form, "Elevation", "Light height (degrees)", 1, 90, 45, changed);
        auto *depth = Setting<QSpinBox>(form, "Depth", "Depth", 1, 20, 4, changed);
        AddPage("Bump map", page,
                [az, el, depth](const QImage &s) { return BumpMap(s, az->value(), el->value(), depth->value()); });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *x = Setting<QSpinBox>(form, "LensX", "Centre X", 0, std::max(0, w - 1), w / 2, changed);
        auto *y = Setting<QSpinBox>(form, "LensY", "Centre Y", 0, std::max(0, h - 1), h / 2, changed);
        auto *r = Setting<QSpinBox>(form, "LensRadius", "Radius", 1, std::max(1, std::max(w, h)),
                                    std::max(1, std::min(w, h) / 3), changed);
        auto *refr = Setting<QDoubleSpinBox>(form, "Refraction", "Refraction", 1.0, 5.0, 2.0, changed);
        refr->setSingleStep(0.1);
        AddPage("Lens", page,
                [x, y, r, refr](const QImage &s) { return Lens(s, x->value(), y->value(), r->value(), refr->value()); });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *amp = Setting<QSpinBox>(form, "Amplitude", "Amplitude", 0, 50, 5, changed);
        auto *len = Setting<QSpinBox>(form, "Wavelength", "Wave length", 2, 400, 40, changed);
        auto *phase = Setting<QSpinBox>(form, "Phase", "Phase (degrees)", 0, 359, 0, changed);
        auto *hor = new QCheckBox(QStringLiteral("Horizontal"));
        auto *ver = new QCheckBox(QStringLiteral("Vertical"));
        hor->setObjectName("Horizontal");
        ver->setObjectName("Vertical");
        hor->setChecked(true);
        for (QCheckBox *b : {hor, ver}) {
            connect(b, &QCheckBox::toggled, this, changed);
            form->addRow(b);
        }
        AddPage("Wave", page, [amp, len, phase, hor, ver](const QImage &s) {
            return Wave(s, amp->value(), len->value(), phase->value(), hor->isChecked(), ver->isChecked());
        });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *op = new QComboBox;
        op->setObjectName("Operation");
        op->addItems({QStringLiteral("Erode"), QStringLiteral("Dilate"), QStringLiteral("Open"), QStringLiteral("Close")});
        connect(op, &QComboBox::currentIndexChanged, this, changed);
        form->addRow(QStringLiteral("Filter"), op);
        auto *size = Setting<QSpinBox>(form, "WindowSize", "Window (pixels)", 1, 31, 3, changed);
        size->setSingleStep(2);
        auto *iter = Setting<QSpinBox>(form, "Iterations", "Iterations", 1, 20, 1, changed);
        AddPage("Morph filters", page, [op, size, iter](const QImage &s) {
            return Morph(s, TMorphOp(op->currentIndex()), size->value(), iter->value());
        });
    }
    {
        auto *page = new QWidget;
        auto *form = new QFormLayout(page);
        auto *angle = Setting<QDoubleSpinBox>(form, "Angle", "Angle (degrees)", -360.0, 360.0, 0.0, changed);
        auto *bg = new QComboBox;
        bg->setObjectName("Background");
        bg->addItems({QStringLiteral("Black"), QStringLiteral("White")});
        connect(bg, &QComboBox::currentIndexChanged, this, changed);
        form->addRow(QStringLiteral("Background"), bg);
        AddPage("Rotate", page, [angle, bg](const QImage &s) {
            return Rotate(s, angle->value(), bg->currentIndex() == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        });
    }
}
