// The page's requests to the host, one at a time: the user's events in order, then rows asked for
// ahead that the scroll reached, then one look at the state for all the reasons to look that came
// up meanwhile. Every answer, and every state a failure carries, is drawn in the order it came.

import { fetchState, postEvent } from './connection.js';

// Events that name a row carry the version the user saw: the host refuses them if the rows have
// changed since. The others name a control or a title and go with the latest version.
const namesRow = (event) => event.type === 'tapRow' || event.type === 'deleteRow';
// The longest pause between looks while the host does not answer.
const maximumRetryPause = 8000;

export class RequestScheduler {
  // page: draw(snapshot) (may return a promise), viewport() (the one the host is told of, with each
  // request), requestEnded(), notice(text, lasting), reachable() (the host answers again after
  // none), refused(failure) (the host refused this page)
  constructor(page) {
    this.page = page;
    this.version = -1; // the version of the state drawn, which the page's draw keeps
    this.events = [];
    this.wantState = true;
    this.landing = null; // rows asked for ahead that the scroll reached, to be drawn
    this.busy = false;
    this.drawing = Promise.resolve();
    this.stopped = false;
    this.unreachableFor = 0; // while the host does not answer: the pause before the next look
    this.retry = null;
  }

  // Resolves once the event's answer is drawn, or it failed or was replaced.
  send(event) {
    return new Promise((answered) => {
      // Only the search field's latest text matters: one not sent yet is replaced.
      if (event.type === 'search') {
        const isSearch = (queued) => queued.event.type === 'search';
        for (const replaced of this.events.filter(isSearch)) replaced.answered();
        this.events = this.events.filter((queued) => !isSearch(queued));
      }
      this.events.push({ event, seenVersion: this.version, answered });
      this.pump();
    });
  }

  // One look at the state, taken with the others that come up before it can be sent.
  look() {
    this.wantState = true;
    this.pump();
  }

  // Rows asked for ahead are drawn in the next turn, and looked at again after when what the page
  // shows changed since they were asked for.
  land(snapshot, lookAgain) {
    this.landing = snapshot;
    if (lookAgain) this.wantState = true;
    this.pump();
  }

  queueDraw(snapshot) {
    this.drawing = this.drawing.then(() => this.page.draw(snapshot)).catch((failure) => this.page.notice(`Could not draw the library: ${failure.message}`));
    return this.drawing;
  }

  fail(failure) {
    if (failure.status === 403) {
      this.stopped = true;
      this.page.refused(failure);
      return;
    }
    if (failure.status === 0) {
      // No answer at all: the connection broke (a busy machine, a network gone for a moment) or
      // Pagewyn stopped. The page says so and looks again, less and less often, so that it is
      // never left frozen once the host answers again.
      this.page.notice(failure.message, true);
      this.unreachableFor = Math.min(maximumRetryPause, (this.unreachableFor || 250) * 2);
      clearTimeout(this.retry);
      this.retry = setTimeout(() => this.look(), this.unreachableFor);
      return;
    }
    if (failure.body?.state) this.queueDraw(failure.body.state);
    if (failure.status === 409) this.page.notice('The library changed before that could be done, so nothing was done.');
    else if (failure.status !== 503) this.page.notice(failure.message);
  }

  async sendEvent({ event: queued, seenVersion }) {
    const version = namesRow(queued) ? seenVersion : this.version;
    const event = { ...queued, version, viewport: this.page.viewport() };
    await this.queueDraw(await postEvent(event));
  }

  async fetchLatest() {
    await this.queueDraw(await fetchState(this.page.viewport()));
  }

  pump() {
    if (this.busy || this.stopped) return;
    let request = null;
    let answered = null;
    if (this.events.length > 0) {
      const queued = this.events.shift();
      answered = queued.answered;
      request = this.sendEvent(queued);
    } else if (this.landing) {
      request = this.queueDraw(this.landing);
      this.landing = null;
    } else if (this.wantState) {
      this.wantState = false;
      request = this.fetchLatest();
    }
    if (!request) return;
    this.busy = true;
    request.then(() => {
      if (!this.unreachableFor) return;
      this.unreachableFor = 0;
      this.page.reachable?.();
    }, (failure) => this.fail(failure)).finally(() => {
      answered?.();
      this.busy = false;
      this.page.requestEnded();
      this.pump();
    });
  }
}
