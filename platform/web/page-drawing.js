// How the page's parts reach the page that draws the state: a picked or dropped file's answer is
// drawn like any other state, a message is told in the page's notice. The page gives its own ways
// as it starts (drawingBy); until then nothing is drawn.

let drawing = { draw: () => {}, redraw: () => {}, notice: () => {}, send: async () => {} };

// draw(state) draws a state the host answered with; redraw() draws the last state drawn again;
// notice(text) tells a short message over whatever the page shows; send(event) delivers a user's
// event as the page's own controls do, resolving once its answer is drawn.
export function drawingBy(ways) {
  drawing = ways;
}

// While several files are added one after the other, each opened book would be drawn and replaced
// by the next one at once, and a page of a book the program has already closed would be asked for.
// The books added are not drawn: the page shows the library and the progress, and the book open at
// the end is closed before the page draws readers again.
let readersHeld = false;
export const holdingReaders = () => readersHeld;
export function holdReaders(held) {
  readersHeld = held;
}

// Resolves once the state is drawn, so that an event sent after it carries its version.
export function drawAnsweredState(state) {
  return state ? drawing.draw(state) : Promise.resolve();
}

export function redrawPage() {
  drawing.redraw();
}

export function tellOnPage(text) {
  drawing.notice(text);
}

export function sendFromPage(event) {
  return drawing.send(event);
}
