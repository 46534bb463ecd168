// The structure tree and the form with the 65,535-record document, on the offscreen platform.
//   BM_RebuildTree        the document's RebuildTree into the editor's tree widget
//   BM_BareTreeBaseline   the same number of plain items, same shape, into a bare QTreeWidget
//   BM_SelectAndFillForm  one selection in the tree: the frame's report and the form filled
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeWidget>
#include <memory>

#include "model/document.h"
#include "sample_base.h"
#include "ui/app/main_frame.h"
#include "ui/tree/structure_tree.h"
#include "xml/text_codec.h"

namespace {

CMainFrame& Frame() {
  static CMainFrame* frame = [] {
    auto* f = new CMainFrame;
    f->resize(1200, 800);
    f->show();
    f->document().DeleteContents();
    BuildSampleBase(f->document(), 65535);
    f->document().treeView = f->GetTreeView();
    return f;
  }();
  return *frame;
}

void AddPlain(QTreeWidgetItem* parent, const CRecord* r) {
  auto* item = new QTreeWidgetItem(parent);
  item->setText(0, FromCp1251(r->name));
  if (const CAtom* a = AsAtom(const_cast<CRecord*>(r))) {
    for (const auto& p : a->properties) AddPlain(item, p.get());
  } else if (const CChildHolder* h = AsChildHolder(const_cast<CRecord*>(r))) {
    for (const auto& c : h->children) AddPlain(item, c.get());
  }
}

void BM_RebuildTree(benchmark::State& state) {
  CMainFrame& f = Frame();
  for (auto _ : state) {
    f.document().RebuildTree();
    f.GetTreeView()->EnsureAttached();
    QApplication::processEvents();
  }
  state.counters["items"] = f.GetTreeView()->topLevelItem(0)->childCount();
  state.counters["records"] = f.document().idMap.Count();
}
BENCHMARK(BM_RebuildTree)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_BareTreeBaseline(benchmark::State& state) {
  CMainFrame& f = Frame();
  QTreeWidget tree;
  tree.setHeaderHidden(true);
  tree.setUniformRowHeights(true);
  tree.resize(500, 800);
  tree.show();
  for (auto _ : state) {
    tree.clear();
    auto* root = new QTreeWidgetItem(&tree);
    root->setText(0, QStringLiteral("Root"));
    for (const auto& g : f.document().groups) AddPlain(root, g.get());
    QApplication::processEvents();
  }
}
BENCHMARK(BM_BareTreeBaseline)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SelectAndFillForm(benchmark::State& state) {
  CMainFrame& f = Frame();
  f.document().RebuildTree();
  f.GetTreeView()->EnsureAttached();
  CLeftView* tree = f.GetTreeView();
  // Two properties deep in the tree, one with incoming links, selected in turn.
  std::vector<QTreeWidgetItem*> items;
  for (QTreeWidgetItemIterator it(tree); *it && items.size() < 2; ++it)
    if (const CPropertyItem* p = AsProperty(f.document().LookupRecord(CLeftView::ItemId(*it))))
      if (p->typeCode == 7 || p->GetIncomingLinkCount() > 0) items.push_back(*it);
  size_t i = 0;
  for (auto _ : state) tree->setCurrentItem(items[i++ % items.size()]);
}
BENCHMARK(BM_SelectAndFillForm)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
