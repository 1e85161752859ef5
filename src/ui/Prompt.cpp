#include "ui/Prompt.h"

#include "ui/QtPrompt.h"

namespace {

IPrompt* g_installed = nullptr;

}  // namespace

IPrompt& CurrentPrompt() {
    if (g_installed != nullptr) return *g_installed;
    static CQtPrompt fallback;
    return fallback;
}

CPromptScope::CPromptScope(IPrompt& prompt) : m_previous(g_installed) {
    g_installed = &prompt;
}

CPromptScope::~CPromptScope() {
    g_installed = m_previous;
}
