// The viewer page's panes of what the program prints: standard output and
// standard error, each with its count of lines and a button that copies them.

// Lines arrive a few thousand at a time while a model loads; they are
// shown a batch at a time, so the page keeps responding.
export function pane(id) {
  const pre = document.getElementById(id);
  const count = document.getElementById(id + "-count");
  const s = {lines: [], shown: 0, pending: false};
  function show() {
    s.pending = false;
    if (s.shown < s.lines.length) {
      pre.append(s.lines.slice(s.shown).join("\n") + "\n");
      s.shown = s.lines.length;
    }
    count.textContent = s.lines.length + (s.lines.length === 1 ? " line" : " lines");
  }
  s.push = function(line) {
    s.lines.push(line);
    if (!s.pending) {
      s.pending = true;
      setTimeout(show, 0);
    }
  };
  s.clear = function() {
    s.lines = [];
    s.shown = 0;
    pre.textContent = "";
    show();
  };
  const button = document.getElementById("copy-" + id);
  button.addEventListener("click", function() {
    copy(s.lines.length ? s.lines.join("\n") + "\n" : "", pre, function(said) {
      // The button says what it did, for a moment.
      button.textContent = said;
      clearTimeout(button.back);
      button.back = setTimeout(function() { button.textContent = "Copy"; }, 2000);
    });
  });
  return s;
}

function copy(text, pre, said) {
  const lines = text.split("\n").length - 1;
  const fallback = function() {
    select(pre);
    said("Selected: press Ctrl+C");
  };
  if (navigator.clipboard && navigator.clipboard.writeText) {
    navigator.clipboard.writeText(text).then(function() {
      said("Copied " + lines + (lines === 1 ? " line" : " lines"));
    }, fallback);
  } else {
    fallback();
  }
}

// Where the clipboard is not ours to write, the lines are selected for
// the visitor to copy.
function select(pre) {
  const range = document.createRange();
  range.selectNodeContents(pre);
  getSelection().removeAllRanges();
  getSelection().addRange(range);
}
