#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "engrave/jobs.h"

namespace stylor {

/// Pages of the lower part of the window, in their order.
enum class Page {
  FreeForm = 0, CircleText, EllipseText, Sequence, Batch, Machine, Advanced, About
};

/// One page of the window: the object name of its tab page, the job it runs and, for a page
/// without a job, its caption (a job's page takes the job's caption). The window builds its
/// tabs from this list.
struct PageInfo {
  Page page;
  std::string_view objectName;
  std::optional<JobKind> job;  // nothing: the page runs no job
  std::string_view ownCaption;
};

/// Every page, in Page order.
std::span<const PageInfo> AllPages();

/// The row of `page`.
const PageInfo& PageInfoOf(Page page);

/// The caption of the page's tab.
std::string_view PageCaption(Page page);

/// The job `page` runs; the pages without one preview the free-form text's.
JobKind JobOfPage(Page page);

}  // namespace stylor
