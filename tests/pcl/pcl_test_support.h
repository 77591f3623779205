#pragma once
// A renderer on the fake printer: a job state whose page model is set up as
// the print pass sets it, reading its bytes from a file in a temp folder.

#include "pcl/pcl_render.h"
#include "pcl/pcl_state.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vel::pcl::test {

using platform::CanvasOp;
using platform::Point;

struct Renderer {
    vel::test::ScopedTempDir dir;
    vel::test::TestProgram tp;
    PclJobState s{tp.program};

    Renderer() : Renderer(600, 4960, 7015) {}
    // A printer of the given resolution and device page; margins 12/10/10.
    Renderer(int dpi, int width, int height)
        : tp({{"Test printer", dpi, width, height}}, "Test printer") {
        tp.program.state.closeCountdown = 15;
        s.DevicePageWidth = static_cast<std::uint16_t>(width);
        s.DevicePageHeight = static_cast<std::uint16_t>(height);
        InitPageState(s);
        s.RightLimit = s.TextAreaWidth;
        s.MaxLineLength = 100;
        tp.printer.beginDoc("test");
        s.Density = dpi;
        ComputePageGeometry(s);
        ops().clear();  // the page mark
    }

    void load(const std::string& bytes) {
        vel::test::WriteAll(dir.path() / "job.pcl", bytes);
        ASSERT_TRUE(s.input.open("job.pcl"));
        s.BytesLeft = s.input.size();
    }
    void render(const std::string& bytes) {
        load(bytes);
        RenderJobStream(s);
    }

    std::vector<CanvasOp>& ops() { return tp.printer.documents.back().pages.back().ops; }
    std::vector<CanvasOp> ofKind(CanvasOp::Kind kind) {
        std::vector<CanvasOp> out;
        for (const auto& op : ops()) {
            if (op.kind == kind) out.push_back(op);
        }
        return out;
    }
    std::vector<CanvasOp> texts() { return ofKind(CanvasOp::Text); }
    std::vector<CanvasOp> lines() { return ofKind(CanvasOp::Line); }
    std::string printed() {
        std::string out;
        for (const auto& op : texts()) out += op.text;
        return out;
    }
};

}  // namespace vel::pcl::test
