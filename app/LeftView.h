#pragma once
#include <QWidget>

#include <memory>

namespace Platform
{
class ImageList;
}

class CLocalTree;
class CVeskDoc;

// The left pane of the main window: holds the project tree and keeps it filling the pane.
class CLeftView final : public QWidget
{
public:
    explicit CLeftView(QWidget* parent = nullptr);
    ~CLeftView() override;

    void SetDocument(CVeskDoc* doc);
    CLocalTree& Tree() const { return *m_tree; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CLocalTree* m_tree = nullptr;
    std::unique_ptr<Platform::ImageList> m_images;
};
