// A progress window that ends with the scope that opened it, on every path out of it:
//
//   ScopedProgressViewer viewer(caption, /*showPercent=*/false, /*canCancel=*/true);
//   viewer->SetString(...);   // or pass *viewer on
//
// The viewer frees itself on its own thread after Terminate, so nothing here deletes it.
#pragma once

#include <string>

#include "progress/ProgressViewer.h"

class ScopedProgressViewer {
 public:
  ScopedProgressViewer(const std::string& caption, bool showPercent, bool canCancel)
      : viewer_(new TProgressViewer(caption, showPercent, canCancel)) {}
  ~ScopedProgressViewer() { viewer_->Terminate(); }
  ScopedProgressViewer(const ScopedProgressViewer&) = delete;
  ScopedProgressViewer& operator=(const ScopedProgressViewer&) = delete;

  TProgressViewer& operator*() const { return *viewer_; }
  TProgressViewer* operator->() const { return viewer_; }

 private:
  TProgressViewer* viewer_;
};
