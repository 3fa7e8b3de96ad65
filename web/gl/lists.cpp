// Display lists: the listed calls made between glNewList and glEndList,
// kept with their arguments and made again by glCallList. Calls that only
// ask or allocate (glGen*, glGet*, glIsEnabled) are made at once, as
// OpenGL does.
#include <map>
#include <vector>

#include "layer.h"
#include "webgl.h"

namespace {

std::map<GLuint, std::vector<std::function<void()>>> lists;
GLuint compiling = 0;  // 0: none
GLenum compile_mode = GL_COMPILE;
std::vector<std::function<void()>> being_compiled;
GLuint list_base = 0;
int call_depth = 0;

}  // namespace

bool list_compiling()
{
    // The calls of a list run while another is compiled are not its own.
    return compiling != 0 && call_depth == 0;
}

bool list_keep(std::function<void()> call)
{
    being_compiled.push_back(std::move(call));
    return compile_mode == GL_COMPILE_AND_EXECUTE;
}

GLuint glGenLists(GLsizei range)
{
    if (range <= 0)
        return 0;
    GLuint first = 1;
    for (;;) {
        // The first run of `range` names none of which is in use.
        auto next = lists.lower_bound(first);
        if (next == lists.end() || next->first >= first + static_cast<GLuint>(range))
            break;
        first = next->first + 1;
    }
    for (GLuint name = first; name < first + static_cast<GLuint>(range); ++name)
        lists[name];
    return first;
}

void glNewList(GLuint list, GLenum mode)
{
    if (list == 0 || compiling != 0 || (mode != GL_COMPILE && mode != GL_COMPILE_AND_EXECUTE)) {
        say_unhandled("glNewList", list == 0 || compiling != 0 ? list : mode);
        return;
    }
    compiling = list;
    compile_mode = mode;
    being_compiled.clear();
}

void glEndList()
{
    if (compiling == 0)
        return;
    lists[compiling].swap(being_compiled);
    being_compiled.clear();
    compiling = 0;
}

void glCallList(GLuint list)
{
    LISTED(glCallList(list));
    auto found = lists.find(list);
    // OpenGL's limit on nesting, which also ends a list that calls itself.
    if (found == lists.end() || call_depth >= 64)
        return;
    ++call_depth;
    // A list may be deleted or replaced while it runs; run a copy.
    const std::vector<std::function<void()>> calls = found->second;
    for (const auto& call : calls)
        call();
    --call_depth;
}

void glCallLists(GLsizei n, GLenum type, const GLvoid* names)
{
    for (GLsizei i = 0; i < n; ++i) {
        GLuint name = 0;
        switch (type) {
        case GL_UNSIGNED_BYTE: name = static_cast<const GLubyte*>(names)[i]; break;
        case GL_BYTE: name = static_cast<GLuint>(static_cast<const GLbyte*>(names)[i]); break;
        case GL_UNSIGNED_SHORT: name = static_cast<const GLushort*>(names)[i]; break;
        case GL_SHORT: name = static_cast<GLuint>(static_cast<const GLshort*>(names)[i]); break;
        case GL_UNSIGNED_INT: name = static_cast<const GLuint*>(names)[i]; break;
        case GL_INT: name = static_cast<GLuint>(static_cast<const GLint*>(names)[i]); break;
        default: say_unhandled("glCallLists", type); return;
        }
        glCallList(list_base + name);
    }
}

void glListBase(GLuint base)
{
    LISTED(glListBase(base));
    list_base = base;
}

void glDeleteLists(GLuint list, GLsizei range)
{
    for (GLsizei i = 0; i < range; ++i)
        lists.erase(list + static_cast<GLuint>(i));
}

GLboolean glIsList(GLuint list)
{
    return lists.count(list) != 0;
}
