// The folder tree: the file system's folders from the root "/" down, hidden
// ones left out, each with the system's icon for it, every open level in
// text order. It reports the selected folder as its Path.
#pragma once

#include <QCollator>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QTreeView>

#include <memory>

class QMenu;

namespace ortholay {

// Sorts the folders of each level by their displayed names, compared the
// locale's way with letter case significant.
class FolderSortModel : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit FolderSortModel(QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QCollator collator_;
};

class ShellTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit ShellTreeView(QWidget* parent = nullptr);
    ~ShellTreeView() override;

    // The selected folder's full path ("/" for the root), or an empty text
    // when nothing is selected. PathBytes gives it as the file system's
    // bytes.
    QString Path() const;
    QByteArray PathBytes() const;

    // The tree's node of a folder, which is created (with the nodes above
    // it) when it is not there yet; invalid when the folder is not shown
    // (a hidden folder, a file, a path that does not exist).
    QModelIndex IndexOfPath(const QString& path) const;
    QString PathOfIndex(const QModelIndex& index) const;

    // Selects a folder as a click would, opening the levels above it.
    // Returns false when the folder is not shown in the tree.
    bool SelectPath(const QString& path);

    // Sorts every level of the tree by node text; the selection stays.
    void SortTree();

    // The right-click menu for a folder: open it in the file manager, copy
    // its path. The caller owns the menu.
    QMenu* CreateFolderMenu(const QString& path, QWidget* parent) const;

    QFileSystemModel* fileSystemModel() const { return files_; }
    FolderSortModel* sortModel() const { return sorted_; }

protected:
    // A right click opens the folder menu and leaves the selection alone.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The icons of the desktop's theme, or of the widget style where there
    // is none. Declared first: the model reads them on its own thread until
    // it is gone.
    std::unique_ptr<QFileIconProvider> icons_;
    QFileSystemModel* files_;
    FolderSortModel* sorted_;
};

}  // namespace ortholay
