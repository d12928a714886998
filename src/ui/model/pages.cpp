#include "ui/model/pages.h"

namespace stylor {
namespace {

constexpr PageInfo kPages[] = {
    {Page::FreeForm, "FreeForm", JobKind::FreeFormText, {}},
    {Page::CircleText, "CircleTextPage", JobKind::CircleText, {}},
    {Page::EllipseText, "EllipseText", JobKind::EllipseText, {}},
    {Page::Sequence, "Sequence", JobKind::Sequence, {}},
    {Page::Batch, "Batch", JobKind::Batch, {}},
    {Page::Machine, "TabSheet2", std::nullopt, "Machine"},
    {Page::Advanced, "Advanced", std::nullopt, "Advanced Settings"},
    {Page::About, "About", std::nullopt, "About"},
};

constexpr bool InPageOrder() {
  for (std::size_t k = 0; k < std::size(kPages); ++k) {
    if (static_cast<std::size_t>(kPages[k].page) != k) return false;
  }
  return true;
}
static_assert(InPageOrder(), "kPages must list the pages in Page order");

}  // namespace

std::span<const PageInfo> AllPages() { return kPages; }

const PageInfo& PageInfoOf(Page page) { return kPages[static_cast<std::size_t>(page)]; }

std::string_view PageCaption(Page page) {
  const PageInfo& info = PageInfoOf(page);
  return info.job ? JobInfoOf(*info.job).caption : info.ownCaption;
}

JobKind JobOfPage(Page page) { return PageInfoOf(page).job.value_or(JobKind::FreeFormText); }

}  // namespace stylor
