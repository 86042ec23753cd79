#pragma once
// Shared by the main window's tests: a UI whose prompts and dialogs answer
// from scripts, a window logic over it, and readers of the tree.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "hardwarerw/tag_file.h"
#include "hardwarerw/tests/cfg_test_support.h"
#include "main/main_controller.h"
#include "main/node_text.h"
#include "platform/cp1251.h"

namespace vrt::cfg::test {

using namespace vrt::literals;

class ScriptedUi final : public MainUi {
public:
    struct Query {
        std::string caption, prompt, initial;
    };

    SaveAnswer AskSave(std::string_view text) override {
        prompts.emplace_back(text);
        return pop(saveAnswers, SaveAnswer::Cancel);
    }
    std::optional<std::string> InputQuery(std::string_view caption, std::string_view prompt,
                                          std::string_view initial) override {
        queries.push_back({std::string(caption), std::string(prompt), std::string(initial)});
        return pop(inputs, std::optional<std::string>());
    }
    std::optional<std::string> ChooseTagFileToOpen(const std::string& folder) override {
        openFolders.push_back(folder);
        return pop(openFiles, std::optional<std::string>());
    }
    std::optional<std::string> ChooseTagFileToSave(const std::string& folder) override {
        ++saveDialogs;
        saveFolders.push_back(folder);
        return pop(saveFiles, std::optional<std::string>());
    }
    std::optional<std::string> ChoosePrgFile() override {
        ++prgDialogs;
        return pop(prgFiles, std::optional<std::string>());
    }
    void ErrorBox(std::string_view text) override { errors.emplace_back(text); }

    // Answers, taken in order; an empty script cancels.
    std::deque<SaveAnswer> saveAnswers;
    std::deque<std::optional<std::string>> inputs, openFiles, saveFiles, prgFiles;
    // What was asked.
    std::vector<std::string> prompts, openFolders, saveFolders, errors;
    std::vector<Query> queries;
    int saveDialogs = 0;
    int prgDialogs = 0;

private:
    template <class T>
    static T pop(std::deque<T>& q, T fallback) {
        if (q.empty()) return fallback;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

inline constexpr const char* kProgram = "/opt/vortan/Cfg/VortanOPCCfg";

// A started window without library bindings.
struct Window {
    explicit Window(LinkBinding* link = nullptr, VentixBinding* ventix = nullptr,
                    const std::string& exe = kProgram)
        : c(ui, link, ventix) {
        c.FormCreate(exe);
    }
    RecordingSink sink;
    ScriptedUi ui;
    MainController c;

    TDeviceList& devices() { return c.Project().DeviceList(); }
    TDevice& device(int i) { return *devices().Device(i); }
    TreeNode* node(int device) { return c.Tree().Top(device); }
    TreeNode* node(int device, int tag) { return c.Tree().Top(device)->Child(tag); }
    void select(TreeNode* n) { c.Tree().Select(n); }
    // New project with devices named as given (defaults of a new device).
    void newProject(std::initializer_list<std::string> names) {
        c._NewExecute();
        for (const std::string& n : names) {
            ui.inputs.push_back(n);
            c.AddDeviceExecute();
        }
    }
    void addTags(int device, std::initializer_list<std::string> names) {
        select(node(device));
        for (const std::string& n : names) {
            ui.inputs.push_back(n);
            c.AddTagExecute();
        }
    }
};

// The tree as lines: device texts, tag texts indented by two blanks.
inline std::vector<std::string> TreeLines(const NodeTree& tree) {
    std::vector<std::string> out;
    for (TreeNode* n : tree.AllNodes()) out.push_back((n->Level() ? "  " : "") + n->Text());
    return out;
}

// The tree's lines built afresh from the model, for comparison.
inline std::vector<std::string> ModelLines(TDeviceList& list) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.Count(); ++i) {
        out.push_back(DeviceNodeText(*list.Device(i)));
        for (int32_t t = 0; t < list.Device(i)->TagCount(); ++t)
            out.push_back("  " + TagNodeText(*list.Device(i)->Tag(t)));
    }
    return out;
}

// Every node carries the cell of what its text shows, and its image.
inline void ExpectTreeMatchesModel(MainController& c) {
    TDeviceList& list = c.Project().DeviceList();
    ASSERT_EQ(c.Tree().TopCount(), list.Count());
    for (int32_t i = 0; i < list.Count(); ++i) {
        TreeNode* n = c.Tree().Top(i);
        EXPECT_EQ(n->Data(), list.Cell(i));
        EXPECT_EQ(n->Image(), 0);
        TDevice& d = *list.Device(i);
        ASSERT_EQ(n->ChildCount(), d.TagCount());
        for (int32_t t = 0; t < d.TagCount(); ++t) {
            EXPECT_EQ(n->Child(t)->Data(), d.TagCell(t));
            EXPECT_EQ(n->Child(t)->Image(), d.Tag(t)->RW + 1);
            EXPECT_EQ(n->Child(t)->SelectedImage(), d.Tag(t)->RW + 1);
        }
    }
    EXPECT_EQ(TreeLines(c.Tree()), ModelLines(list));
}

}  // namespace vrt::cfg::test
