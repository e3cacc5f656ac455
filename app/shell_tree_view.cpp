#include "app/shell_tree_view.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QUrl>

namespace ortholay {

FolderSortModel::FolderSortModel(QObject* parent) : QSortFilterProxyModel(parent) {
    collator_.setCaseSensitivity(Qt::CaseSensitive);
    collator_.setNumericMode(false);
    setSortRole(Qt::DisplayRole);
}

bool FolderSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QString a = left.data(Qt::DisplayRole).toString();
    const QString b = right.data(Qt::DisplayRole).toString();
    const int order = collator_.compare(a, b);
    if (order != 0) {
        return order < 0;
    }
    // Names the locale ranks alike still get one fixed order.
    return a < b;
}

ShellTreeView::ShellTreeView(QWidget* parent)
    : QTreeView(parent),
      icons_(std::make_unique<QFileIconProvider>()),
      files_(new QFileSystemModel(this)),
      sorted_(new FolderSortModel(this)) {
    files_->setIconProvider(icons_.get());
    // Folders only, without "." and "..", and no hidden ones.
    files_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    files_->setReadOnly(true);
    files_->setRootPath(QDir::rootPath());
    sorted_->setSourceModel(files_);
    setModel(sorted_);

    setHeaderHidden(true);
    for (int column = 1; column < files_->columnCount(); ++column) {
        setColumnHidden(column, true);
    }
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setRootIsDecorated(false);  // the root level has no expand buttons or lines
    setIndentation(19);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
}

ShellTreeView::~ShellTreeView() {
    // The model (and the thread that reads folders for it) goes before the
    // icon provider it uses.
    setModel(nullptr);
    delete sorted_;
    delete files_;
}

QString ShellTreeView::PathOfIndex(const QModelIndex& index) const {
    if (!index.isValid()) {
        return QString();
    }
    return files_->filePath(sorted_->mapToSource(index));
}

QString ShellTreeView::Path() const {
    const QModelIndexList selected = selectionModel()->selectedRows();
    return selected.isEmpty() ? QString() : PathOfIndex(selected.first());
}

QByteArray ShellTreeView::PathBytes() const {
    return QFile::encodeName(Path());
}

QModelIndex ShellTreeView::IndexOfPath(const QString& path) const {
    const QModelIndex source = files_->index(path);
    if (!source.isValid()) {
        return QModelIndex();
    }
    return sorted_->mapFromSource(source);
}

bool ShellTreeView::SelectPath(const QString& path) {
    const QModelIndex index = IndexOfPath(path);
    if (!index.isValid()) {
        return false;
    }
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        expand(above);
    }
    setCurrentIndex(index);
    scrollTo(index);
    return true;
}

void ShellTreeView::SortTree() {
    sorted_->sort(0, Qt::AscendingOrder);
}

QMenu* ShellTreeView::CreateFolderMenu(const QString& path, QWidget* parent) const {
    auto* menu = new QMenu(parent);
    QAction* open = menu->addAction(QStringLiteral("在檔案管理員中開啟"));
    connect(open, &QAction::triggered, menu,
            [path] { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); });
    QAction* copy = menu->addAction(QStringLiteral("複製路徑"));
    connect(copy, &QAction::triggered, menu,
            [path] { QGuiApplication::clipboard()->setText(path); });
    return menu;
}

void ShellTreeView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void ShellTreeView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mouseReleaseEvent(event);
}

void ShellTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mouseDoubleClickEvent(event);
}

void ShellTreeView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index =
        event->reason() == QContextMenuEvent::Mouse ? indexAt(event->pos()) : currentIndex();
    if (!index.isValid()) {
        return;
    }
    QPoint where = event->globalPos();
    if (event->reason() != QContextMenuEvent::Mouse) {
        where = viewport()->mapToGlobal(visualRect(index).center());
    }
    QMenu* menu = CreateFolderMenu(PathOfIndex(index), this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(where);
}

}  // namespace ortholay
