#include "app/LeftView.h"

#include "app/LocalTree.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/ImageList.h"

#include <QResizeEvent>

namespace
{
constexpr uint32_t kTreeBitmap = 1306;
}

CLeftView::CLeftView(QWidget* parent)
    : QWidget(parent), m_images(std::make_unique<Platform::ImageList>(16, 16))
{
    m_tree = new CLocalTree(this);
    m_tree->setGeometry(rect());
    const QImage strip = Platform::BitmapTable::Instance().Get(kTreeBitmap);
    if (!strip.isNull())
        m_images->Add(strip, Platform::Rgb(255, 0, 0));
    m_tree->SetImageList(m_images.get());
    m_tree->show();
}

CLeftView::~CLeftView()
{
    // The tree refers to the image list: let it go first.
    delete m_tree;
    m_tree = nullptr;
}

void CLeftView::SetDocument(CVeskDoc* doc)
{
    m_tree->SetDocument(doc);
}

void CLeftView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_tree->setGeometry(rect());
}
