// What the reader's hands do on a page: a tap near an edge turns the page that way (the side the
// next page lies on goes forward), a swipe drags the next page in from its side, a link of the
// book opens its place and one out of it a new window, a tapped highlight offers its removal.

export function listenToPage(doc, frame, pages) {
  const options = pages.options;
  doc.addEventListener('click', (event) => clicked(event, doc, frame, pages));
  doc.addEventListener('keydown', (event) => options.onKey?.(event));
  doc.addEventListener('selectionchange', () => options.onSelection?.());
  let start = null;
  doc.addEventListener('touchstart', (event) => {
    const touch = event.changedTouches[0];
    start = touch ? { x: touch.clientX, y: touch.clientY } : null;
  }, { passive: true });
  doc.addEventListener('touchend', (event) => {
    const touch = event.changedTouches[0];
    if (!start || !touch) return;
    const dx = touch.clientX - start.x;
    const dy = touch.clientY - start.y;
    start = null;
    if (Math.abs(dx) > 40 && Math.abs(dx) > Math.abs(dy) * 1.5 && doc.getSelection().isCollapsed) {
      const towardsNext = pages.progression === 'rtl' ? dx > 0 : dx < 0;
      options.onSwipe?.(towardsNext ? 'next' : 'previous');
    }
  }, { passive: true });
}

function clicked(event, doc, frame, pages) {
  const options = pages.options;
  const link = event.target.closest?.('a[href]');
  if (link) {
    event.preventDefault();
    followLink(link, doc, pages);
    return;
  }
  const mark = event.target.closest?.('mark[data-highlight]');
  if (mark && doc.getSelection().isCollapsed) {
    options.onMarkTapped?.(mark.dataset.highlight, pages.frameRect(mark.getBoundingClientRect()));
    return;
  }
  if (!doc.getSelection().isCollapsed) return;
  // The zone by where on the stage the tap fell, whatever the page's scale.
  const outer = frame.getBoundingClientRect();
  const stage = (frame.parentElement ?? frame).getBoundingClientRect();
  const x = (outer.left + event.clientX * (pages.fixed ? pages.scale : 1) - stage.left) / (stage.width || 1);
  const edge = x < 0.3 ? 'left' : x > 0.7 ? 'right' : 'middle';
  if (edge === 'middle') options.onTap?.('middle');
  else options.onTap?.((edge === 'right') === (pages.progression === 'ltr') ? 'next' : 'previous');
}

function followLink(link, doc, pages) {
  let target;
  try {
    target = new URL(link.getAttribute('href'), doc.baseURI);
  } catch {
    return;
  }
  const inside = pages.linkTarget(target);
  if (inside) {
    if (inside.index >= 0) pages.options.onLink?.(inside.index, inside.fragment);
    return;
  }
  if (/^(https?|mailto):$/.test(target.protocol)) window.open(target.href, '_blank', 'noopener,noreferrer');
}
