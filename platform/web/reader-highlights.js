// Highlights in a page: a highlight is a range of characters of the text of the document's body,
// counted the same way whenever the document is shown, and drawn as <mark> elements around the
// pieces of text it covers.

export function textNodes(doc) {
  const nodes = [];
  const body = doc.body ?? doc.documentElement;
  if (!body) return nodes;
  const walker = doc.createTreeWalker(body, NodeFilter.SHOW_TEXT);
  for (let node = walker.nextNode(); node; node = walker.nextNode()) nodes.push(node);
  return nodes;
}

export function offsetOf(nodes, container, offset) {
  let count = 0;
  for (const node of nodes) {
    if (node === container) return count + offset;
    count += node.data.length;
  }
  // The boundary sits in an element: count the text before its offset-th child.
  const doc = container.ownerDocument ?? container;
  const range = doc.createRange();
  range.setStart(container, offset);
  count = 0;
  for (const node of nodes) {
    const position = range.comparePoint(node, 0);
    if (position >= 0) return count;
    count += node.data.length;
  }
  return count;
}

// The selected characters of the document, or null when nothing is selected.
export function selectedRange(doc) {
  const selection = doc.getSelection();
  if (!selection || selection.isCollapsed || selection.rangeCount === 0) return null;
  const range = selection.getRangeAt(0);
  const nodes = textNodes(doc);
  const start = offsetOf(nodes, range.startContainer, range.startOffset);
  const end = offsetOf(nodes, range.endContainer, range.endOffset);
  const text = selection.toString().trim();
  if (end <= start || !text) return null;
  return { start, end, text, rect: range.getBoundingClientRect() };
}

// Wraps the characters start..end in marks named by the highlight's id.
export function drawHighlight(doc, highlight) {
  const nodes = textNodes(doc);
  let count = 0;
  for (const node of nodes) {
    const length = node.data.length;
    const from = Math.max(highlight.start, count);
    const to = Math.min(highlight.end, count + length);
    count += length;
    if (from >= to || node.parentElement?.closest('style, script, title')) continue;
    let piece = node;
    if (from - (count - length) > 0) piece = piece.splitText(from - (count - length));
    if (to - from < piece.data.length) piece.splitText(to - from);
    const mark = doc.createElementNS('http://www.w3.org/1999/xhtml', 'mark');
    mark.className = 'pagewyn-highlight';
    mark.dataset.highlight = highlight.id;
    piece.replaceWith(mark);
    mark.append(piece);
  }
}

export function eraseHighlight(doc, id) {
  for (const mark of [...doc.querySelectorAll(`mark[data-highlight="${CSS.escape(id)}"]`)]) {
    mark.replaceWith(...mark.childNodes);
  }
  doc.body?.normalize();
}
