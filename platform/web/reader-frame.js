// The frame a page of the book is shown in, and whether what it loaded is a page.

export function pageFrame() {
  const frame = document.createElement('iframe');
  frame.className = 'reader-frame';
  // Same origin, so the reader can lay the page out; no scripts, forms, pop-ups or navigation
  // of the page around it.
  frame.setAttribute('sandbox', 'allow-same-origin');
  frame.setAttribute('title', 'Page');
  frame.setAttribute('referrerpolicy', 'no-referrer');
  return frame;
}

export function isPage(doc) {
  return /^(application\/xhtml\+xml|text\/html|image\/svg\+xml)$/.test(doc.contentType) && doc.documentElement;
}
