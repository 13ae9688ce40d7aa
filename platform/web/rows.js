// One row of the table: the cell drawn from the view tree, the separator below it, and the
// delete button behind it that a swipe to the left reveals (touch or mouse drag, or the button a
// mouse over the row shows). A tap opens the book; a tap on a row whose delete button shows closes
// it again.

import { drawView, redrawView } from './views.js';

const deleteWidth = 80;
const swipeThreshold = 8;

// The key under which a row's drawing is kept: everything it shows but where it stands.
export function rowKey(row) {
  const cell = { ...row.cell, frame: [row.cell?.frame?.[2], row.cell?.frame?.[3]] };
  return JSON.stringify([cell, row.selected, row.label, row.editable]);
}

// The separator starts where the row's text does, as the platform draws it.
function textLabelX(cell) {
  for (const part of cell.subviews ?? []) {
    const label = part.subviews?.find((view) => typeof view.text === 'string');
    if (label) return Number(label.frame?.[0]) || 16;
  }
  return 16;
}

// handlers: tap(row), confirmDelete(row), opened(rowElement) — rows ask the table to close others.
export function makeRow(row, handlers) {
  const element = document.createElement('div');
  element.className = 'row';
  element.setAttribute('role', 'listitem');

  const remove = document.createElement('button');
  remove.type = 'button';
  remove.className = 'row-delete';
  remove.textContent = 'Delete';
  remove.tabIndex = -1;
  remove.addEventListener('click', (event) => {
    event.stopPropagation();
    // The row closes as the deletion is asked for; if the book cannot go, it simply stays.
    const hadFocus = element.contains(document.activeElement);
    setRowOpen(element, false);
    if (hadFocus) element.cell.focus({ preventScroll: true });
    handlers.confirmDelete(element.rowData);
  });

  const cell = document.createElement('div');
  cell.className = 'row-cell';
  cell.setAttribute('role', 'button');
  cell.tabIndex = -1;
  const drawing = drawView(row.cell, {}, { origin: false });
  drawing.setAttribute('aria-hidden', 'true');
  // The cell's texts read apart, as its name has them ("Title, Author"), not run together.
  for (const text of drawing.querySelectorAll('.label-text')) text.after(' ');
  const separator = document.createElement('div');
  separator.className = 'separator';
  cell.append(drawing, separator);

  // What a mouse needs to find the deletion: shown while the pointer is over the row, it opens
  // the row's Delete button as a swipe would. It lies in the cell, so a drag that starts on it
  // is the row's swipe; keys have the Delete key instead, and screen readers the delete button.
  const reveal = document.createElement('div');
  reveal.className = 'row-reveal';
  reveal.textContent = 'Delete…';
  reveal.setAttribute('aria-hidden', 'true');
  reveal.addEventListener('click', (event) => {
    event.stopPropagation();
    handlers.opened(element);
    setRowOpen(element, true);
    remove.focus({ preventScroll: true });
  });
  cell.append(reveal);

  element.append(remove, cell);
  element.cell = cell;
  element.deleteButton = remove;
  element.separator = separator;
  nameRow(element, row);
  attachSwipe(element, handlers);
  return element;
}

// What a row says of its book: the names of its cell and delete button, and where its separator
// starts.
function nameRow(element, row) {
  element.rowData = row;
  element.deleteButton.setAttribute('aria-label', `Delete ${row.label || 'book'}`);
  element.cell.setAttribute('aria-label', row.label || 'Untitled');
  if (row.editable) element.cell.setAttribute('aria-keyshortcuts', 'Enter Delete');
  else element.cell.removeAttribute('aria-keyshortcuts');
  element.separator.style.left = `${textLabelX(row.cell)}px`;
}

// Makes a row drawn before show another row in place, keeping its elements (and the pictures
// that stay the same): a scroll that brings new books into view changes text and pictures, not
// the page's structure. Answers false, having changed nothing, when the row is in use (open,
// swiped or holding the keyboard) or its cell has another shape: the row is then made anew.
export function redrawRow(element, row) {
  if (element.classList.contains('open') || element.classList.contains('swiping') || element.contains(document.activeElement))
    return false;
  if (!redrawView(element.cell.firstElementChild, row.cell, { origin: false })) return false;
  nameRow(element, row);
  return true;
}

export function setRowOpen(element, open) {
  element.classList.toggle('open', open);
  element.cell.style.transform = open ? `translateX(${-deleteWidth}px)` : '';
  element.deleteButton.tabIndex = open ? 0 : -1;
}

function attachSwipe(element, handlers) {
  const cell = element.cell;
  let gesture = null;
  let swallowClick = false;

  cell.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    gesture = { id: event.pointerId, x: event.clientX, y: event.clientY, start: element.classList.contains('open') ? -deleteWidth : 0, swiping: false, offset: 0 };
  });
  cell.addEventListener('pointermove', (event) => {
    if (!gesture || event.pointerId !== gesture.id) return;
    const dx = event.clientX - gesture.x;
    const dy = event.clientY - gesture.y;
    if (!gesture.swiping) {
      if (Math.abs(dy) > swipeThreshold && Math.abs(dy) > Math.abs(dx)) {
        gesture = null;
        return;
      }
      if (Math.abs(dx) <= swipeThreshold || !element.rowData.editable) return;
      gesture.swiping = true;
      cell.setPointerCapture(event.pointerId);
      element.classList.add('swiping');
      handlers.opened(element);
    }
    gesture.offset = Math.min(0, Math.max(-deleteWidth * 1.5, gesture.start + dx));
    cell.style.transform = `translateX(${gesture.offset}px)`;
  });
  const finish = (event) => {
    if (!gesture || event.pointerId !== gesture.id) return;
    if (gesture.swiping) {
      element.classList.remove('swiping');
      setRowOpen(element, gesture.offset < -deleteWidth / 2);
      swallowClick = true;
      if (element.classList.contains('open')) element.deleteButton.focus({ preventScroll: true });
    }
    gesture = null;
  };
  cell.addEventListener('pointerup', finish);
  cell.addEventListener('pointercancel', (event) => {
    if (gesture?.swiping) {
      element.classList.remove('swiping');
      setRowOpen(element, false);
    }
    finish(event);
  });
  cell.addEventListener('click', () => {
    if (swallowClick) {
      swallowClick = false;
      return;
    }
    handlers.tap(element);
  });
}
